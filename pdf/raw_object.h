#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "pdf/xref.h"

namespace pdf {

// The input's objects as the bytes that stand in the file, for copying them
// unchanged and for editing their text. Offsets count from the "%PDF-" header
// the cross-reference found.
class RawObjects {
public:
    explicit RawObjects(XRef& xref) : xref_(xref), file_(xref.file()) {}

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
    // references, when given, gets the object number of every reference in
    // the object's text before its stream data, as the span is found.
    std::optional<Span> span(uint32_t number, std::vector<uint32_t>* references = nullptr) const;
    std::string textOf(const Span& span) const;
    // Copies the text of a span to output a piece at a time, as text() would
    // give it; false when it cannot be read or written whole.
    bool copySpan(const Span& span, std::FILE* output) const;
    static constexpr uint64_t kCopyChunk = 1 << 20;

    // Whether the file holds the header "number generation obj" at offset
    // (counted from the start of the file).
    bool holdsHeader(uint64_t offset, uint32_t number, uint32_t generation) const;
    // Whether the object is a stream whose data this reader cannot decode.
    bool hasUndecodableStream(uint32_t number) const;
    // The Type of a stream object: "ObjStm" for an object stream, "XRef" for
    // a cross-reference stream; empty for anything else.
    std::string streamType(uint32_t number) const;
    // The generation an in-use object is listed with; 0 for any other.
    uint32_t generationOf(uint32_t number) const;
    uint64_t headerStart() const { return xref_.start(); }
    // Up to count bytes of the file from offset (counted from its start).
    std::string bytesAt(uint64_t offset, size_t count) const { return file_.bytes(offset, count); }
    size_t size() const { return xref_.entries().size(); }
    const XRefEntry& entry(uint32_t number) const { return xref_.entries()[number]; }

    XRef& xref() const { return xref_; }

private:
    std::optional<Span> storedSpan(uint64_t offset, uint32_t number, uint32_t generation,
                                   std::vector<uint32_t>* references = nullptr) const;
    std::optional<uint64_t> endobjBehindStreamData(uint64_t offset) const;

    XRef& xref_;
    ByteSource& file_;
};

}  // namespace pdf
