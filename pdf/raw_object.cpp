#include "pdf/raw_object.h"

#include <algorithm>
#include <vector>

#include "base/error.h"
#include "base/text_format.h"
#include "pdf/lexer.h"
#include "pdf/parser.h"

namespace pdf {

namespace {

// Searches read small chunks first, as most objects are short, and larger
// ones as a search goes on.
constexpr size_t kFirstChunk = 1 << 10;
constexpr size_t kLargestChunk = 1 << 20;

// Where an object's "endobj" keyword or its "stream" keyword begins, read as
// tokens; more of the file is read only when the bytes run out first.
std::optional<ObjectEnd> FindEndobjOrStream(ByteSource& file, uint64_t from,
                                            std::vector<uint32_t>* references = nullptr) {
    for (size_t want = kFirstChunk; want <= kLargestChunk * 16; want *= 4) {
        const std::string bytes = file.bytes(from, want);
        if (std::optional<ObjectEnd> end = FindObjectEnd(bytes, references)) return end;
        if (bytes.size() < want) break;
    }
    return std::nullopt;
}

// Where the first "endobj" at or after from begins that ends an object: the
// next thing behind it is another object, a table, a trailer or the end of
// the file. Stream data with a wrong Length may hold the word itself.
std::optional<uint64_t> FindEndobjBeforeNext(ByteSource& file, uint64_t from) {
    for (std::optional<uint64_t> endobj = FindInSource(file, from, "endobj"); endobj;
         endobj = FindInSource(file, *endobj + 6, "endobj")) {
        const std::string next = file.bytes(*endobj + 6, 64);
        size_t at = 0;
        while (at < next.size() && IsWhite(static_cast<unsigned char>(next[at]))) ++at;
        const std::string rest = next.substr(at);
        if (rest.empty() || rest[0] == '%' || rest.rfind("xref", 0) == 0 ||
            rest.rfind("trailer", 0) == 0 || rest.rfind("startxref", 0) == 0 ||
            ReadObjectHeader(rest)) {
            return endobj;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<uint64_t> RawObjects::endobjBehindStreamData(uint64_t offset) const {
    // The Length, and that "endstream" follows the data it covers, come from
    // reading the object; a Length that cannot be resolved only means the
    // search is used instead.
    try {
        Parser parser(file_, offset, {}, &xref_.resolver());
        if (!parser.next().isInteger() || !parser.next().isInteger() ||
            !parser.next().isKeyword("obj")) {
            return std::nullopt;
        }
        const Object object = parser.next();
        const Stream* stream = object.stream();
        if (stream == nullptr || stream->dataOffset + stream->dataLength >= file_.size()) {
            return std::nullopt;
        }
        return FindInSource(file_, parser.position(), "endobj");
    } catch (const Error&) {
        return std::nullopt;
    }
}

std::optional<RawObjects::Span> RawObjects::storedSpan(uint64_t offset, uint32_t number,
                                                       uint32_t generation,
                                                       std::vector<uint32_t>* references) const {
    const uint64_t fileSize = file_.size();
    // An offset that holds another object (or none) gives nothing, as it does
    // when the object is fetched: copying the text there would list it twice.
    if (!holdsHeader(offset, number, generation)) return std::nullopt;
    const std::optional<ObjectEnd> landmark = FindEndobjOrStream(file_, offset, references);
    std::optional<uint64_t> endobj;
    if (landmark && landmark->isStream) {
        endobj = endobjBehindStreamData(offset);
        if (!endobj) endobj = FindEndobjBeforeNext(file_, offset + landmark->keyword + 6);
    } else if (landmark) {
        endobj = offset + landmark->keyword;
    }
    if (!endobj) endobj = FindInSource(file_, offset, "endobj");
    if (!endobj) return std::nullopt;

    // The text runs through "endobj" and the one byte after it. At the very
    // end of the file there is no byte after "endobj"; a line end keeps the
    // next object from running into it.
    const uint64_t end = *endobj + 7;
    return Span{offset, std::min(end, fileSize) - offset, end > fileSize};
}

std::optional<RawObjects::Span> RawObjects::span(uint32_t number,
                                                 std::vector<uint32_t>* references) const {
    if (number >= size()) return std::nullopt;
    const XRefEntry& found = entry(number);
    if (found.type != 1 || !found.isDefined()) return std::nullopt;
    const uint64_t position = xref_.filePosition(found.offset);
    if (position == UINT64_MAX) return std::nullopt;
    return storedSpan(position, number, found.generation, references);
}

std::string RawObjects::textOf(const Span& span) const {
    std::string text = file_.bytes(span.offset, static_cast<size_t>(span.length));
    if (span.addLineEnd) text += '\n';
    return text;
}

bool RawObjects::copySpan(const Span& span, std::FILE* output) const {
    std::vector<char> buffer(std::min<uint64_t>(span.length, kCopyChunk));
    for (uint64_t done = 0; done < span.length;) {
        const auto want =
            static_cast<size_t>(std::min<uint64_t>(buffer.size(), span.length - done));
        const size_t got = file_.read(span.offset + done, buffer.data(), want);
        if (got != want || std::fwrite(buffer.data(), 1, got, output) != got) return false;
        done += got;
    }
    return !span.addLineEnd || std::fputc('\n', output) != EOF;
}

bool RawObjects::holdsHeader(uint64_t offset, uint32_t number, uint32_t generation) const {
    char head[64];
    const size_t got = file_.read(offset, head, sizeof head);
    const std::optional<ObjectNumber> header = ReadObjectHeader(std::string_view(head, got));
    return header && header->number == number && header->generation == generation;
}

std::optional<std::string> RawObjects::text(uint32_t objectNumber) const {
    if (objectNumber >= size()) return std::nullopt;
    const XRefEntry& found = entry(objectNumber);
    if (!found.isDefined()) return std::nullopt;
    if (found.type == 1) {
        const std::optional<Span> stored = span(objectNumber);
        if (!stored) return std::nullopt;
        return textOf(*stored);
    }
    if (found.type == 2) {
        const std::optional<std::string_view> bytes = xref_.objectStreamBytes(objectNumber);
        if (!bytes || bytes->empty()) return std::nullopt;
        std::string body(*bytes);
        // Out of its object stream, an object of an encrypted file has its
        // strings encrypted as its own.
        const SecurityHandler* security = xref_.security();
        if (security != nullptr &&
            static_cast<int32_t>(objectNumber) != xref_.encryptRef().number) {
            body = TransformStrings(body, [&](const std::string& plain) {
                return security->encryptString(plain, {objectNumber, 0});
            });
        }
        return Format("%ld 0 obj\r", static_cast<long>(objectNumber)) + body + " endobj\r";
    }
    return std::nullopt;
}

bool RawObjects::hasUndecodableStream(uint32_t number) const {
    try {
        const Object object =
            xref_.fetch({static_cast<int32_t>(std::min<uint32_t>(number, INT32_MAX)),
                         static_cast<int32_t>(generationOf(number))});
        if (object.isError()) return true;
        const Stream* stream = object.stream();
        return stream != nullptr && !xref_.streamData(*stream);
    } catch (const Error&) {
        return false;
    }
}

std::string RawObjects::streamType(uint32_t objectNumber) const {
    try {
        const Object object = xref_.fetch(
            {static_cast<int32_t>(objectNumber), static_cast<int32_t>(generationOf(objectNumber))});
        const Stream* stream = object.stream();
        if (stream == nullptr) return std::string();
        const Object type = xref_.resolve(stream->dictionary.get("Type"));
        return type.isName() ? type.text() : std::string();
    } catch (const Error&) {
        return std::string();  // a stream that cannot be read is copied as it stands
    }
}

uint32_t RawObjects::generationOf(uint32_t number) const {
    if (number >= size()) return 0;
    const XRefEntry& found = entry(number);
    return found.type == 1 ? found.generation : 0;
}

}  // namespace pdf
