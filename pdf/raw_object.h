#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "pdf/xref.h"

// The text of an object (without stream data) with each string changed:
// change gets a string's bytes, and its result is written as a hexadecimal
// string. Names, comments and the rest stay as they stand.
std::string TransformStrings(const std::string& text,
                             const std::function<std::string(const std::string&)>& change);

// Index of the last byte of the first occurrence of pattern in text, or 0
// when there is none (a match ending at index 0 reads as none too).
size_t FindText(const std::string& text, const std::string& pattern);
// The end of the literal string that starts at `at` ("("), past its closing
// parenthesis; std::string::npos when the text ends first.
size_t SkipLiteralString(const std::string& text, size_t at);
// The end of the direct value (dictionary, array, string or token) that
// starts at `at`.
size_t SkipDirectValue(const std::string& text, size_t at);
// The index of the last byte of `key` (a name such as "/Outlines") where it
// stands as a key of the first dictionary in text, or 0: strings, comments,
// values and nested dictionaries that hold the name do not count.
size_t FindDictionaryKey(const std::string& text, const std::string& key);
// Where the first "endobj" or "stream" keyword (followed by an end of line)
// begins in the bytes of an object, read as tokens so that strings, comments
// and names holding those words are passed over; std::string::npos when the
// bytes end first. isStream tells which keyword it was.
size_t ScanTokens(const std::string& bytes, bool& isStream);
// Whether the bytes start with the header "number generation obj".
bool StartsWithHeader(const std::string& bytes, uint32_t number, uint32_t generation);
// The decimal number that follows key in text (after any non-digits), or 0.
uint32_t FindReference(const std::string& text, const std::string& key);

// The input's objects as the bytes that stand in the file, for copying them
// unchanged and for searching their text. Reads through its own handle;
// offsets count from the "%PDF-" header the cross-reference found.
class RawObjects {
public:
    RawObjects(std::FILE* file, CPdfXRef& xref)
        : reader_(std::make_shared<FileReader>(file)), xref_(xref) {}

    // The text of one object, from its header line through "endobj" and the
    // byte after it; an object of an object stream gets a header and "endobj"
    // of its own. Nothing when the object is free or its text cannot be found.
    std::optional<std::string> text(uint32_t number) const;
    // Where the text of an object that stands in the file lies: a text
    // without the byte after "endobj" (at the end of the file) gets a line end.
    struct Span {
        uint64_t offset = 0;
        uint64_t length = 0;
        bool addLineEnd = false;
    };
    std::optional<Span> span(uint32_t number) const;
    std::string textOf(const Span& span) const;
    // Whether pattern lies wholly within the span.
    bool spanHolds(const Span& span, const std::string& pattern) const;
    // Copies the text of a span to output a piece at a time, as text() would
    // give it; false when it cannot be read or written whole.
    bool copySpan(const Span& span, std::FILE* output) const;
    static constexpr uint64_t kCopyChunk = 1 << 20;

    // Whether the file holds the header "number generation obj" at offset
    // (counted from the start of the file).
    bool holdsHeader(uint64_t offset, uint32_t number, uint32_t generation) const;
    // Whether the object is a stream whose filters this reader cannot decode.
    bool hasUndecodableStream(uint32_t number) const;
    // Whether an object is an object stream (Type ObjStm).
    bool isObjectStream(uint32_t number) const;
    // The generation an in-use object is listed with; 0 for any other.
    uint32_t generationOf(uint32_t number) const;
    uint64_t headerStart() const { return xref_.getStart(); }
    // Up to count bytes of the file from offset (counted from its start).
    std::string bytesAt(uint64_t offset, size_t count) const;
    size_t size() const { return xref_.getEntries().size(); }
    const XRefEntry& entry(uint32_t number) const { return xref_.getEntries()[number]; }

    CPdfXRef& xref() const { return xref_; }

private:
    std::optional<Span> storedSpan(uint64_t offset, uint32_t number, uint32_t generation) const;

    std::shared_ptr<FileReader> reader_;
    CPdfXRef& xref_;
};
