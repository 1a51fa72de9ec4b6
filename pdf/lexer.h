#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// PDF syntax read in one place: the classes of bytes, and tokens with their
// kind and their span over a buffer. Everything that reads PDF bytes (the
// parser, the rebuilding scan, the writer's edits of object text) reads them
// through here.
namespace pdf {

enum class ByteClass : uint8_t { Regular, White, Delimiter };

namespace detail {
constexpr std::array<ByteClass, 256> MakeByteClasses() {
    std::array<ByteClass, 256> classes{};
    for (unsigned char c : {0, 9, 10, 12, 13, 32}) classes[c] = ByteClass::White;
    for (unsigned char c : {'%', '(', ')', '/', '<', '>', '[', ']', '{', '}'}) {
        classes[c] = ByteClass::Delimiter;
    }
    return classes;
}
// The one table of byte classes.
inline constexpr std::array<ByteClass, 256> kByteClasses = MakeByteClasses();
}  // namespace detail

inline ByteClass ClassOf(unsigned char byte) {
    return detail::kByteClasses[byte];
}
inline bool IsWhite(int c) {
    return c >= 0 && c < 256 && ClassOf(static_cast<unsigned char>(c)) == ByteClass::White;
}
inline bool IsDelimiter(int c) {
    return c >= 0 && c < 256 && ClassOf(static_cast<unsigned char>(c)) == ByteClass::Delimiter;
}
inline bool IsRegular(int c) {
    return c >= 0 && c < 256 && ClassOf(static_cast<unsigned char>(c)) == ByteClass::Regular;
}
inline bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}
// The value of a hexadecimal digit, or -1.
int HexValue(int c);

enum class TokenKind : uint8_t {
    End,            // no more tokens
    Integer,        // 12, -3, +7
    Real,           // 1.5, -.25, 4.
    LiteralString,  // (...) with its nesting and escapes
    HexString,      // <...>
    Name,           // /Name, with #xx escapes
    Keyword,        // true, false, null, R, obj, endobj, stream, xref, ...
    ArrayBegin,     // [
    ArrayEnd,       // ]
    DictBegin,      // <<
    DictEnd,        // >>
    Error,          // a byte no token starts with: ), }, {, a lone >
};

struct Token {
    TokenKind kind = TokenKind::End;
    size_t begin = 0;
    size_t end = 0;
    // The bytes ran out before the token was complete: a string or a name
    // (or any token) that may go on in bytes not given.
    bool cutOff = false;

    bool is(TokenKind k) const { return kind == k; }
};

// Tokens of a buffer, from a position on. Comments and white space between
// tokens are passed over.
class Lexer {
public:
    explicit Lexer(std::string_view bytes, size_t at = 0) : bytes_(bytes), at_(at) {}

    Token next();
    Token peek() const;
    // The next token when it is an integer of digits alone with white space
    // or the end behind it, as the long runs of numbers in object-stream
    // headers are; otherwise nothing, and the lexer stays where it was.
    std::optional<Token> nextPlainInteger();
    size_t position() const { return at_; }
    void seek(size_t at) { at_ = at; }
    std::string_view bytes() const { return bytes_; }
    std::string_view text(const Token& token) const {
        return bytes_.substr(token.begin, token.end - token.begin);
    }
    bool isKeyword(const Token& token, std::string_view word) const {
        return token.kind == TokenKind::Keyword && text(token) == word;
    }
    // The end of the value that starts with first: an array or dictionary
    // with everything it holds, "N G R" as one value, or the token alone.
    // Arrays and dictionaries nest at most kMaxNesting deep.
    size_t skipValue(const Token& first);

    static constexpr int kMaxNesting = 256;

private:
    size_t skipWhiteAndComments(size_t at) const;
    Token scan(size_t at) const;

    std::string_view bytes_;
    size_t at_;
};

// Whether a number followed by these two tokens of bytes is a reference,
// "N G R": the one place that tells references from numbers.
bool EndsReference(const Token& generation, const Token& r, std::string_view bytes);

// The bytes a name token stands for, without its slash, #xx decoded.
std::string NameBytes(std::string_view token);
// A name's bytes as a name token: "/", then the printable regular bytes as
// they are and every other byte (and "#") as #xx.
std::string NameToken(const std::string& bytes);
// Bytes as a literal string token: "(", ")" and the backslash get a
// backslash, CR and LF become \r and \n.
std::string LiteralStringToken(const std::string& bytes);
// Bytes as a hexadecimal string token, upper-case digits: every byte stays
// exactly what it was.
std::string HexStringToken(const std::string& bytes);
// The bytes a literal or hexadecimal string token stands for.
std::string StringBytes(std::string_view token);
// A number token's value, saturated at the 64-bit limits.
int64_t IntegerValue(std::string_view token);
double RealValue(std::string_view token);

// The dictionary of an object's text ("N G obj << ... >>", or a bare
// dictionary) as its entries, for reading and editing keys where they stand.
// Keys are matched as names: /Outl#69nes is /Outlines. The first of a key
// that stands twice is the one that counts, as for readers.
class DictionaryText {
public:
    struct Entry {
        std::string key;  // the name's bytes
        size_t keyBegin;  // where its "/" stands
        size_t valueBegin;
        size_t valueEnd;
    };

    // Nothing when the text holds no dictionary where a value starts.
    static std::optional<DictionaryText> Find(std::string_view text);

    const std::vector<Entry>& entries() const { return entries_; }
    const Entry* find(std::string_view key) const;
    // Where "<<" and ">>" stand; the text after the dictionary is left as it is.
    size_t begin() const { return begin_; }
    size_t end() const { return end_; }

    // Whole texts with one key's value replaced, the key removed, or a key
    // inserted as the dictionary's first entry.
    std::string replaced(std::string_view text, std::string_view key,
                         const std::string& value) const;
    std::string removed(std::string_view text, std::string_view key) const;
    std::string inserted(std::string_view text, std::string_view key,
                         const std::string& value) const;

private:
    // out, then text from `from` on without the entries of key after it (but kept).
    std::string withoutEntries(std::string out, std::string_view text, size_t from,
                               std::string_view key, const Entry* kept) const;

    size_t begin_ = 0;
    size_t end_ = 0;
    std::vector<Entry> entries_;
};

// Where an object's bytes end: the first "endobj" keyword, or the "stream"
// keyword followed by an end of line, read as tokens so that strings,
// comments and names holding those words are passed over.
struct ObjectEnd {
    size_t keyword;  // where the keyword begins
    bool isStream;
};
// Nothing when the bytes end before either keyword. references, when given,
// gets the object number of every "N G R" before the keyword.
std::optional<ObjectEnd> FindObjectEnd(std::string_view bytes,
                                       std::vector<uint32_t>* references = nullptr);

// The bytes of an object's text with each string changed: change gets a
// string's bytes, and its result is written as a hexadecimal string. Names,
// comments and the rest stay as they stand.
std::string TransformStrings(std::string_view text,
                             const std::function<std::string(const std::string&)>& change);

// Calls onReference with the object number of every "N G R" in bytes, up to
// an "endobj" or "stream" keyword: the references of an object's text.
void ForEachReference(std::string_view bytes, const std::function<void(uint32_t)>& onReference);

// The object number and generation of "N G R" or of a header "N G obj" at
// the start of text (white space and comments before it passed over).
struct ObjectNumber {
    uint32_t number = 0;
    uint32_t generation = 0;
};
std::optional<ObjectNumber> ReadReference(std::string_view text);
std::optional<ObjectNumber> ReadObjectHeader(std::string_view text);

}  // namespace pdf
