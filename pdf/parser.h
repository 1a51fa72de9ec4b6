#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pdf/filters.h"
#include "pdf/lexer.h"
#include "pdf/object.h"

namespace pdf {

// Bytes the parser reads: a file, read a window at a time, or bytes in memory.
class MemorySource;

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // The source itself when it holds all its bytes in memory, else null.
    virtual const MemorySource* asMemory() const { return nullptr; }
    virtual uint64_t size() const = 0;
    // Copies up to count bytes from offset; fewer at the end.
    virtual size_t read(uint64_t offset, void* out, size_t count) = 0;
    // Up to count bytes from offset.
    std::string bytes(uint64_t offset, size_t count);
};

class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    const MemorySource* asMemory() const override { return this; }
    uint64_t size() const override { return bytes_.size(); }
    size_t read(uint64_t offset, void* out, size_t count) override;
    std::string_view bytes() const { return bytes_; }

private:
    std::string_view bytes_;
};

// The first position at or after from where pattern starts in a source, or
// nothing.
std::optional<uint64_t> FindInSource(ByteSource& source, uint64_t from, std::string_view pattern);

// Where the data of a stream that starts at start ends when its Length does
// not say: before the line end that precedes the first "endstream" after it,
// or the first "endobj" when that comes first (a misspelt "endstream"), or at
// the end of the source; and where that keyword begins.
struct StreamDataEnd {
    uint64_t dataEnd;
    uint64_t keyword;
};
StreamDataEnd FindStreamDataEnd(ByteSource& source, uint64_t start);

// Objects of PDF syntax, one after the other, from a position of a source.
// References ("N G R") are values of their own; a dictionary followed by
// "stream" is a stream, whose data is only located (its Length resolved
// through resolve when it is a reference). Strings of an encrypted object
// are decrypted on the way.
class Parser {
public:
    // Containers beyond this depth of nesting are read as errors, so that a
    // file of a million "[" cannot exhaust the stack; real files stay far below.
    static constexpr int kMaxNesting = 256;

    Parser(ByteSource& source, uint64_t offset, Decryption decryption = {},
           const Resolve* resolve = nullptr);
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    // The next object; End when the bytes end. Syntax errors give Error
    // values. Stream data that its Length does not bring to "endstream" ends
    // where the keyword stands.
    Object next();
    // The next object, but of a dictionary only the keys asked for: the
    // values of others are passed over as tokens, never built. The reading
    // stops early once stopAt, given each key read and its value, says so.
    // What is not a dictionary is read whole; a stream read to its end gives
    // no value at all.
    using StopAt = std::function<bool(const std::string& key, const Object& value)>;
    Object nextKeys(const std::vector<std::string>& keys, const StopAt& stopAt = nullptr);
    // Of the next object, when it is a dictionary, the value of one key (null
    // when it has none); nothing at all when it is not a dictionary. Nothing
    // else is built.
    std::optional<Object> nextValueOf(std::string_view key);
    // The source position behind what has been read.
    uint64_t position() const { return base_ + (pendingCount_ > 0 ? pending_[0].begin : pos_); }

private:
    Token token();
    Token peekToken();
    void putBack(const Token& token);
    std::string_view view() const { return view_; }
    void setView();
    void grow();
    // Goes on reading from a position of the source.
    void moveTo(uint64_t position);
    Object parse(const Token& first, int depth);
    Object parseArray(int depth);
    Object parseDictionary(int depth);
    Object locateStream(Dictionary dictionary);
    std::string text(const Token& token) const;
    void skipValue(const Token& first);

    ByteSource& source_;
    const MemorySource* memory_;  // the whole bytes at once, when the source holds them
    Decryption decryption_;
    const Resolve* resolve_;
    uint64_t base_;          // the source position of the window's first byte
    std::string window_;     // bytes read from a file source
    std::string_view view_;  // the window, or the memory source's bytes from base_
    size_t pos_ = 0;
    bool atEnd_ = false;
    // Tokens read ahead and given back, first first.
    std::array<Token, 2> pending_{};
    size_t pendingCount_ = 0;
    // The items read so far of the arrays being read, innermost last.
    std::vector<Object> openItems_;
};

}  // namespace pdf
