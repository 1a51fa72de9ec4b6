#include "pdf/lexer.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>

namespace pdf {

namespace {

// The end of the literal string that opens at `at`; npos when the bytes end first.
size_t LiteralStringEnd(std::string_view bytes, size_t at) {
    int depth = 0;
    for (; at < bytes.size(); ++at) {
        const char c = bytes[at];
        if (c == '\\') {
            ++at;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth == 0) {
            return at + 1;
        }
    }
    return std::string_view::npos;
}

size_t RegularRunEnd(std::string_view bytes, size_t at) {
    while (at < bytes.size() && IsRegular(static_cast<unsigned char>(bytes[at]))) ++at;
    return at;
}

}  // namespace

int HexValue(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

size_t Lexer::skipWhiteAndComments(size_t at) const {
    while (at < bytes_.size()) {
        const auto c = static_cast<unsigned char>(bytes_[at]);
        if (IsWhite(c)) {
            ++at;
        } else if (c == '%') {
            while (at < bytes_.size() && bytes_[at] != '\r' && bytes_[at] != '\n') ++at;
        } else {
            break;
        }
    }
    return at;
}

Token Lexer::scan(size_t at) const {
    at = skipWhiteAndComments(at);
    const size_t size = bytes_.size();
    if (at >= size) return {TokenKind::End, size, size, false};
    const char c = bytes_[at];
    auto token = [&](TokenKind kind, size_t end, bool cutOff = false) {
        return Token{kind, at, end, cutOff};
    };
    switch (c) {
        case '(': {
            const size_t end = LiteralStringEnd(bytes_, at);
            return end == std::string_view::npos ? token(TokenKind::LiteralString, size, true)
                                                 : token(TokenKind::LiteralString, end);
        }
        case '<': {
            if (at + 1 >= size) return token(TokenKind::HexString, size, true);
            if (bytes_[at + 1] == '<') return token(TokenKind::DictBegin, at + 2);
            const size_t close = bytes_.find('>', at + 1);
            return close == std::string_view::npos ? token(TokenKind::HexString, size, true)
                                                   : token(TokenKind::HexString, close + 1);
        }
        case '>':
            if (at + 1 >= size) return token(TokenKind::Error, size, true);
            if (bytes_[at + 1] == '>') return token(TokenKind::DictEnd, at + 2);
            return token(TokenKind::Error, at + 1);
        case '[':
            return token(TokenKind::ArrayBegin, at + 1);
        case ']':
            return token(TokenKind::ArrayEnd, at + 1);
        case ')':
        case '{':
        case '}':
            return token(TokenKind::Error, at + 1);
        case '/': {
            const size_t end = RegularRunEnd(bytes_, at + 1);
            return token(TokenKind::Name, end, end == size);
        }
        default:
            break;
    }
    if (c == '+' || c == '-' || c == '.' || IsDigit(c)) {
        // A number is its first byte and the digits and points behind it.
        size_t end = at + 1;
        bool real = c == '.';
        while (end < size && (IsDigit(bytes_[end]) || bytes_[end] == '.')) {
            real = real || bytes_[end] == '.';
            ++end;
        }
        return token(real ? TokenKind::Real : TokenKind::Integer, end, end == size);
    }
    const size_t end = RegularRunEnd(bytes_, at + 1);
    return token(TokenKind::Keyword, end, end == size);
}

Token Lexer::next() {
    const Token token = scan(at_);
    at_ = token.end;
    return token;
}

Token Lexer::peek() const {
    return scan(at_);
}

std::optional<Token> Lexer::nextPlainInteger() {
    const size_t begin = skipWhiteAndComments(at_);
    size_t end = begin;
    while (end < bytes_.size() && IsDigit(bytes_[end])) ++end;
    const bool atEnd = end == bytes_.size();
    if (end == begin ||
        (!atEnd && ClassOf(static_cast<unsigned char>(bytes_[end])) != ByteClass::White)) {
        return std::nullopt;
    }
    at_ = end;
    return Token{TokenKind::Integer, begin, end, atEnd};
}

size_t Lexer::skipValue(const Token& first) {
    if (first.kind == TokenKind::ArrayBegin || first.kind == TokenKind::DictBegin) {
        // Brackets of either kind count alike, as a damaged value needs.
        int depth = 1;
        for (Token token = next(); token.kind != TokenKind::End; token = next()) {
            if (token.kind == TokenKind::ArrayBegin || token.kind == TokenKind::DictBegin) {
                ++depth;
            } else if ((token.kind == TokenKind::ArrayEnd || token.kind == TokenKind::DictEnd) &&
                       --depth == 0) {
                return token.end;
            }
        }
        return at_;
    }
    if (first.kind == TokenKind::Integer) {
        // "N G R" is one value.
        const size_t after = at_;
        const Token generation = next();
        const Token r = next();
        if (EndsReference(generation, r, bytes_)) return r.end;
        at_ = after;
    }
    return first.end;
}

bool EndsReference(const Token& generation, const Token& r, std::string_view bytes) {
    return generation.kind == TokenKind::Integer && r.kind == TokenKind::Keyword &&
           bytes.substr(r.begin, r.end - r.begin) == "R";
}

std::string NameBytes(std::string_view token) {
    std::string name;
    name.reserve(token.size());
    for (size_t at = !token.empty() && token[0] == '/' ? 1 : 0; at < token.size(); ++at) {
        if (token[at] == '#' && at + 1 < token.size() && HexValue(token[at + 1]) >= 0) {
            // The byte after the first digit is taken whatever it is.
            const int high = HexValue(token[at + 1]);
            const int low = at + 2 < token.size() ? HexValue(token[at + 2]) : -1;
            name += static_cast<char>(high * 16 + (low < 0 ? 0 : low));
            at += at + 2 < token.size() ? 2 : 1;
            continue;
        }
        name += token[at];
    }
    return name;
}

namespace {

std::string LiteralBytes(std::string_view token) {
    std::string bytes;
    // The closing parenthesis, when there is one, is not part of the string.
    size_t end = token.size();
    if (end >= 2 && token.back() == ')' && LiteralStringEnd(token, 0) == end) --end;
    bytes.reserve(end);
    for (size_t at = 1; at < end; ++at) {
        // The bytes up to the next backslash stand for themselves.
        const size_t escape = std::min(token.find('\\', at), end);
        bytes.append(token.substr(at, escape - at));
        at = escape;
        if (at + 1 >= end) break;
        char c = token[++at];
        switch (c) {
            case '\n':
                continue;
            case '\r':
                if (at + 1 < end && token[at + 1] == '\n') ++at;
                continue;
            case 'b':
                bytes += '\b';
                continue;
            case 'f':
                bytes += '\f';
                continue;
            case 'n':
                bytes += '\n';
                continue;
            case 'r':
                bytes += '\r';
                continue;
            case 't':
                bytes += '\t';
                continue;
            default:
                break;
        }
        if (c >= '0' && c <= '7') {
            int value = c - '0';
            for (int digits = 1;
                 digits < 3 && at + 1 < end && token[at + 1] >= '0' && token[at + 1] <= '7';
                 ++digits) {
                value = value * 8 + (token[++at] - '0');
            }
            c = static_cast<char>(value & 0xFF);
        }
        bytes += c;
    }
    return bytes;
}

std::string HexBytes(std::string_view token) {
    std::string bytes;
    int high = -1;
    for (size_t at = 1; at < token.size() && token[at] != '>'; ++at) {
        if (IsWhite(static_cast<unsigned char>(token[at]))) continue;
        int value = HexValue(static_cast<unsigned char>(token[at]));
        if (value < 0) value = 0;
        if (high < 0) {
            high = value;
        } else {
            bytes += static_cast<char>(high * 16 + value);
            high = -1;
        }
    }
    if (high >= 0) bytes += static_cast<char>(high * 16);
    return bytes;
}

}  // namespace

std::string StringBytes(std::string_view token) {
    if (!token.empty() && token[0] == '(') return LiteralBytes(token);
    if (!token.empty() && token[0] == '<') return HexBytes(token);
    return std::string();
}

int64_t IntegerValue(std::string_view token) {
    size_t at = 0;
    bool negative = false;
    if (at < token.size() && (token[at] == '-' || token[at] == '+')) negative = token[at++] == '-';
    uint64_t value = 0;
    // Eighteen digits never reach the limit; only longer numbers need the check.
    for (const size_t unchecked = std::min(token.size(), at + 18);
         at < unchecked && IsDigit(token[at]); ++at) {
        value = value * 10 + static_cast<uint64_t>(token[at] - '0');
    }
    constexpr uint64_t kLimit = uint64_t{std::numeric_limits<int64_t>::max()};
    for (; at < token.size() && IsDigit(token[at]); ++at) {
        const auto digit = static_cast<uint64_t>(token[at] - '0');
        value = value > (kLimit - digit) / 10 ? kLimit : value * 10 + digit;
    }
    return negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
}

double RealValue(std::string_view token) {
    return std::strtod(std::string(token).c_str(), nullptr);
}

std::optional<DictionaryText> DictionaryText::Find(std::string_view text) {
    Lexer lexer(text);
    Token token = lexer.next();
    if (token.kind == TokenKind::Integer) {
        // The object's header comes first.
        const Token generation = lexer.next();
        const Token obj = lexer.next();
        if (generation.kind != TokenKind::Integer || !lexer.isKeyword(obj, "obj")) return {};
        token = lexer.next();
    }
    if (token.kind != TokenKind::DictBegin) return {};
    DictionaryText dict;
    dict.begin_ = token.begin;
    for (token = lexer.next(); token.kind != TokenKind::DictEnd; token = lexer.next()) {
        if (token.kind == TokenKind::End) return {};
        // What stands where a key belongs is passed over a token at a time,
        // as the parser passes it over.
        if (token.kind != TokenKind::Name) continue;
        const Token value = lexer.next();
        if (value.kind == TokenKind::DictEnd) {
            token = value;
            break;
        }
        if (value.kind == TokenKind::End) return {};
        if (value.kind == TokenKind::Error) continue;
        const size_t valueEnd = lexer.skipValue(value);
        dict.entries_.push_back({NameBytes(lexer.text(token)), token.begin, value.begin, valueEnd});
    }
    dict.end_ = token.end;
    return dict;
}

const DictionaryText::Entry* DictionaryText::find(std::string_view key) const {
    for (const Entry& entry : entries_) {
        if (entry.key == key) return &entry;
    }
    return nullptr;
}

std::string DictionaryText::withoutEntries(std::string out, std::string_view text, size_t from,
                                           std::string_view key, const Entry* kept) const {
    for (const Entry& entry : entries_) {
        if (&entry == kept || entry.key != key) continue;
        out.append(text.substr(from, entry.keyBegin - from));
        from = entry.valueEnd;
    }
    out.append(text.substr(from));
    return out;
}

std::string DictionaryText::removed(std::string_view text, std::string_view key) const {
    return withoutEntries(std::string(), text, 0, key, nullptr);
}

std::string DictionaryText::replaced(std::string_view text, std::string_view key,
                                     const std::string& value) const {
    const Entry* first = find(key);
    if (first == nullptr) return inserted(text, key, value);
    // Later entries of the same key go: readers differ in which one they take.
    return withoutEntries(std::string(text.substr(0, first->valueBegin)) + value, text,
                          first->valueEnd, key, first);
}

std::string DictionaryText::inserted(std::string_view text, std::string_view key,
                                     const std::string& value) const {
    if (find(key) != nullptr) return replaced(text, key, value);
    std::string out(text.substr(0, begin_ + 2));
    out += NameToken(std::string(key)) + " " + value + "\n";
    out.append(text.substr(begin_ + 2));
    return out;
}

std::string LiteralStringToken(const std::string& bytes) {
    std::string out = "(";
    out.reserve(bytes.size() + 8);
    for (char byte : bytes) {
        switch (byte) {
            case '(':
            case ')':
            case '\\':
                out += '\\';
                out += byte;
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                out += byte;
                break;
        }
    }
    return out + ")";
}

std::string NameToken(const std::string& bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out = "/";
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x21 && byte <= 0x7E && IsRegular(byte) && byte != '#') {
            out += c;
        } else {
            out += '#';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

namespace {

// Tells references from numbers as tokens come: an R whose two tokens before
// it are "N G".
class ReferenceSpotter {
public:
    template <typename Found>
    void see(const Token& token, const Lexer& lexer, const Found& found) {
        if (token.kind == TokenKind::Keyword && older_.kind == TokenKind::Integer &&
            EndsReference(old_, token, lexer.bytes())) {
            const int64_t number = IntegerValue(lexer.text(older_));
            if (number >= 0 && number <= std::numeric_limits<uint32_t>::max()) {
                found(static_cast<uint32_t>(number));
            }
        }
        older_ = old_;
        old_ = token;
    }

private:
    Token older_;
    Token old_;
};

}  // namespace

std::optional<ObjectEnd> FindObjectEnd(std::string_view bytes, std::vector<uint32_t>* references) {
    Lexer lexer(bytes);
    ReferenceSpotter spotter;
    if (references != nullptr) references->clear();
    for (Token token = lexer.next(); token.kind != TokenKind::End; token = lexer.next()) {
        if (token.cutOff) return std::nullopt;  // the token may go on
        if (references != nullptr) {
            spotter.see(token, lexer,
                        [references](uint32_t number) { references->push_back(number); });
        }
        if (token.kind != TokenKind::Keyword) continue;
        const std::string_view word = lexer.text(token);
        if (word == "endobj") return ObjectEnd{token.begin, false};
        if (word == "stream" && (bytes[token.end] == '\r' || bytes[token.end] == '\n')) {
            return ObjectEnd{token.begin, true};
        }
    }
    return std::nullopt;
}

std::string HexStringToken(const std::string& bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out = "<";
    for (unsigned char c : bytes) {
        out += kHex[c >> 4];
        out += kHex[c & 0x0F];
    }
    return out + ">";
}

void ForEachReference(std::string_view bytes, const std::function<void(uint32_t)>& onReference) {
    Lexer lexer(bytes);
    ReferenceSpotter spotter;
    for (Token token = lexer.next(); token.kind != TokenKind::End; token = lexer.next()) {
        if (lexer.isKeyword(token, "endobj") || lexer.isKeyword(token, "stream")) return;
        spotter.see(token, lexer, onReference);
    }
}

std::string TransformStrings(std::string_view text,
                             const std::function<std::string(const std::string&)>& change) {
    std::string out;
    out.reserve(text.size());
    Lexer lexer(text);
    size_t copied = 0;
    for (Token token = lexer.next(); token.kind != TokenKind::End; token = lexer.next()) {
        if (token.kind != TokenKind::LiteralString && token.kind != TokenKind::HexString) continue;
        // Comments and everything else between strings stay as they stand.
        out.append(text.substr(copied, token.begin - copied));
        out += HexStringToken(change(StringBytes(lexer.text(token))));
        copied = token.end;
    }
    out.append(text.substr(copied));
    return out;
}

namespace {

// "N G obj" or "N G R" as nearly every file writes it: digits, white space,
// digits, white space and the word, from the first byte on. Nothing for any
// other text, which the tokens then read; where this reads a triple they
// read the same one.
std::optional<ObjectNumber> ReadPlainTriple(std::string_view text, std::string_view keyword) {
    constexpr size_t kMostDigits = 10;
    uint64_t values[2] = {};
    size_t at = 0;
    for (uint64_t& value : values) {
        const size_t begin = at;
        for (; at < text.size() && IsDigit(text[at]) && at - begin < kMostDigits; ++at) {
            value = value * 10 + static_cast<uint64_t>(text[at] - '0');
        }
        if (at == begin || at == text.size() || !IsWhite(text[at])) return std::nullopt;
        while (at < text.size() && IsWhite(text[at])) ++at;
    }
    const size_t end = at + keyword.size();
    if (text.substr(at, keyword.size()) != keyword ||
        (end < text.size() && IsRegular(static_cast<unsigned char>(text[end]))) ||
        values[0] > std::numeric_limits<uint32_t>::max() ||
        values[1] > std::numeric_limits<uint32_t>::max()) {
        return std::nullopt;
    }
    return ObjectNumber{static_cast<uint32_t>(values[0]), static_cast<uint32_t>(values[1])};
}

std::optional<ObjectNumber> ReadTriple(std::string_view text, std::string_view keyword) {
    if (std::optional<ObjectNumber> plain = ReadPlainTriple(text, keyword)) return plain;
    Lexer lexer(text);
    // Plain digits, as nearly every file writes them, take the short way.
    const auto integerOrToken = [&lexer] {
        const std::optional<Token> plain = lexer.nextPlainInteger();
        return plain ? *plain : lexer.next();
    };
    const Token number = integerOrToken();
    const Token generation = integerOrToken();
    const Token word = lexer.next();
    const bool matches =
        keyword == "R" ? EndsReference(generation, word, text)
                       : generation.kind == TokenKind::Integer && lexer.isKeyword(word, keyword);
    if (number.kind != TokenKind::Integer || !matches) return {};
    const int64_t n = IntegerValue(lexer.text(number));
    const int64_t g = IntegerValue(lexer.text(generation));
    if (n < 0 || g < 0 || n > std::numeric_limits<uint32_t>::max() ||
        g > std::numeric_limits<uint32_t>::max()) {
        return {};
    }
    return ObjectNumber{static_cast<uint32_t>(n), static_cast<uint32_t>(g)};
}

}  // namespace

std::optional<ObjectNumber> ReadReference(std::string_view text) {
    return ReadTriple(text, "R");
}

std::optional<ObjectNumber> ReadObjectHeader(std::string_view text) {
    return ReadTriple(text, "obj");
}

}  // namespace pdf
