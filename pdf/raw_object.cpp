#include "pdf/raw_object.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "base/exception.h"
#include "base/text_format.h"
#include "pdf/characters.h"
#include "pdf/parser.h"

namespace {

// Searches read small chunks first, as most objects are short, and larger
// ones as a search goes on.
constexpr size_t kFirstChunk = 1 << 10;
constexpr size_t kLargestChunk = 1 << 20;

size_t NextChunk(size_t chunk) {
    return chunk < kLargestChunk ? chunk * 4 : chunk;
}

bool ReadBytes(FileReader& file, uint64_t from, size_t count, std::string& out) {
    out.resize(count);
    if (count == 0) return true;
    out.resize(file.read(from, out.data(), count));
    return out.size() == count;
}

// First position at or after from where pattern starts, or -1.
int64_t FindFirst(FileReader& file, uint64_t from, const std::string& pattern) {
    std::string chunk;
    const size_t overlap = pattern.size() - 1;
    for (uint64_t at = from, size = kFirstChunk;; size = NextChunk(size)) {
        ReadBytes(file, at, size, chunk);
        if (chunk.size() < pattern.size()) return -1;
        size_t found = chunk.find(pattern);
        if (found != std::string::npos) return static_cast<int64_t>(at + found);
        if (chunk.size() < size) return -1;
        at += chunk.size() - overlap;
    }
}

// Where an object's "endobj" keyword or its "stream" keyword (followed by an
// end of line) begins. The bytes are read as tokens, so that a string, a
// comment or a name that holds those words is passed over.
struct Landmark {
    int64_t position = -1;
    bool isStream = false;
};

constexpr size_t kNotFound = std::string::npos;

bool IsRegular(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return !IsPdfWhite(byte) && !IsPdfDelimiter(byte);
}

Landmark FindEndobjOrStream(FileReader& file, uint64_t from, uint64_t fileSize) {
    // Most objects are short: read a little, and more only when it runs out.
    std::string bytes;
    for (size_t want = kFirstChunk; want <= kLargestChunk * 16; want *= 4) {
        ReadBytes(file, from, want, bytes);
        bool isStream = false;
        const size_t found = ScanTokens(bytes, isStream);
        if (found != kNotFound) return {static_cast<int64_t>(from + found), isStream};
        if (from + bytes.size() >= fileSize) break;
    }
    return {};
}

// The Length of a stream object whose dictionary lies in [offset, streamKeyword),
// or -1. A Length that cannot be resolved only means the search is used instead.
int64_t StreamLength(const std::shared_ptr<FileReader>& file, uint64_t offset,
                     uint64_t streamKeyword, CPdfXRef& xref) {
    try {
        CPdfElement none;
        none.initNull();
        auto* range = new CPdfFileStream(file, offset, streamKeyword - offset, none);
        CPdfParser parser(&xref, range);
        CPdfElement number, generation, keyword;
        parser.getObj(number);
        parser.getObj(generation);
        parser.getObj(keyword);
        if (!number.isInt() || !generation.isInt() || !keyword.isCmd("obj")) return -1;
        CPdfElement dict;
        parser.getObj(dict);
        if (!dict.isDict()) return -1;
        CPdfElement length;
        dict.getDict()->lookup("Length", length);
        return length.isInt() && length.getInt64() >= 0 ? length.getInt64() : -1;
    } catch (const CPdfException&) {
        return -1;
    }
}

// For a stream object: where its "endobj" begins, found behind the data that
// Length covers, so that data holding those letters is copied whole; -1 when
// the Length does not lead to "endstream".
int64_t EndobjBehindStreamData(const std::shared_ptr<FileReader>& reader, uint64_t offset,
                               uint64_t streamKeyword, CPdfXRef& xref) {
    int64_t length = StreamLength(reader, offset, streamKeyword, xref);
    FileReader& file = *reader;
    const uint64_t fileSize = file.size();
    if (length < 0) return -1;
    std::string bytes;
    uint64_t data = streamKeyword + 6;
    ReadBytes(file, data, 2, bytes);
    if (!bytes.empty() && bytes[0] == '\r') {
        data += bytes.size() > 1 && bytes[1] == '\n' ? 2 : 1;
    } else if (!bytes.empty() && bytes[0] == '\n') {
        data += 1;
    }
    uint64_t end = data + static_cast<uint64_t>(length);
    if (end >= fileSize) return -1;
    constexpr size_t kSlack = 512;
    ReadBytes(file, end, kSlack, bytes);
    size_t i = 0;
    while (i < bytes.size() && IsPdfWhite(static_cast<unsigned char>(bytes[i]))) ++i;
    if (bytes.compare(i, 9, "endstream") != 0) return -1;
    return FindFirst(file, end + i + 9, "endobj");
}

// Where the first "endobj" at or after from begins that ends an object: the
// next thing behind it is another object, a table, a trailer or the end of
// the file. Stream data with a wrong Length may hold the word itself. -1 when
// there is none.
int64_t FindObjectEnd(FileReader& file, uint64_t from) {
    for (int64_t endobj = FindFirst(file, from, "endobj"); endobj >= 0;
         endobj = FindFirst(file, static_cast<uint64_t>(endobj) + 6, "endobj")) {
        std::string next;
        ReadBytes(file, static_cast<uint64_t>(endobj) + 6, 64, next);
        size_t at = 0;
        while (at < next.size() && IsPdfWhite(static_cast<unsigned char>(next[at]))) ++at;
        const std::string rest = next.substr(at);
        if (rest.empty() || rest[0] == '%' || rest.rfind("xref", 0) == 0 ||
            rest.rfind("trailer", 0) == 0 || rest.rfind("startxref", 0) == 0) {
            return endobj;
        }
        size_t digits = 0;
        while (digits < rest.size() && IsDecimalDigit(rest[digits])) ++digits;
        const size_t keyword = rest.find(" obj", digits);
        if (digits > 0 && keyword != std::string::npos && keyword < digits + 12) return endobj;
    }
    return -1;
}

// The end of a hexadecimal string that starts at at ("<", not "<<").
size_t SkipHexString(const std::string& text, size_t at) {
    size_t end = text.find('>', at);
    return end == std::string::npos ? text.size() : end + 1;
}

}  // namespace

// Scans bytes from the object's start for either keyword; kNotFound when the
// bytes run out first.
size_t ScanTokens(const std::string& bytes, bool& isStream) {
    size_t at = 0;
    while (at < bytes.size()) {
        const char c = bytes[at];
        if (c == '(') {
            at = SkipLiteralString(bytes, at);
        } else if (c == '%') {
            at = bytes.find_first_of("\r\n", at);
        } else if (c == '<' && at + 1 < bytes.size() && bytes[at + 1] != '<') {
            at = bytes.find('>', at);
        } else if (c == '/' || IsRegular(c)) {
            const size_t start = at++;
            while (at < bytes.size() && IsRegular(bytes[at])) ++at;
            if (at == bytes.size()) return kNotFound;  // the token may go on
            if (c != '/' && bytes.compare(start, at - start, "endobj") == 0) return start;
            isStream = bytes.compare(start, at - start, "stream") == 0 &&
                       (bytes[at] == '\r' || bytes[at] == '\n');
            if (isStream) return start;
        } else {
            ++at;
        }
        if (at == kNotFound) return kNotFound;
    }
    return kNotFound;
}

// Whether the bytes start with the object's own header "number generation obj".
bool StartsWithHeader(const std::string& bytes, uint32_t number, uint32_t generation) {
    size_t at = 0;
    auto skipWhite = [&]() {
        size_t from = at;
        while (at < bytes.size() && IsPdfWhite(static_cast<unsigned char>(bytes[at]))) ++at;
        return at > from;
    };
    auto readNumber = [&](uint32_t& value) {
        size_t from = at;
        uint64_t number64 = 0;
        while (at < bytes.size() && bytes[at] >= '0' && bytes[at] <= '9' && at - from < 10) {
            number64 = number64 * 10 + static_cast<uint64_t>(bytes[at++] - '0');
        }
        value = static_cast<uint32_t>(std::min<uint64_t>(number64, UINT32_MAX));
        return at > from;
    };
    uint32_t foundNumber = 0;
    uint32_t foundGeneration = 0;
    skipWhite();
    if (!readNumber(foundNumber) || !skipWhite() || !readNumber(foundGeneration)) return false;
    skipWhite();
    return foundNumber == number && foundGeneration == generation &&
           bytes.compare(at, 3, "obj") == 0;
}

size_t SkipLiteralString(const std::string& text, size_t at) {
    int depth = 0;
    for (; at < text.size(); ++at) {
        if (text[at] == '\\') {
            ++at;
        } else if (text[at] == '(') {
            ++depth;
        } else if (text[at] == ')' && --depth == 0) {
            return at + 1;
        }
    }
    return std::string::npos;
}

size_t SkipDirectValue(const std::string& text, size_t at) {
    if (at >= text.size()) return at;
    if (text[at] == '(') return std::min(SkipLiteralString(text, at), text.size());
    if (text[at] == '<' && text.compare(at, 2, "<<") != 0) return SkipHexString(text, at);
    if (text.compare(at, 2, "<<") == 0 || text[at] == '[') {
        int depth = 0;
        while (at < text.size()) {
            if (text[at] == '(') {
                at = std::min(SkipLiteralString(text, at), text.size());
                continue;
            }
            if (text.compare(at, 2, "<<") == 0) {
                ++depth;
                at += 2;
            } else if (text[at] == '<') {
                at = SkipHexString(text, at);
            } else if (text.compare(at, 2, ">>") == 0) {
                at += 2;
                if (--depth == 0) return at;
            } else if (text[at] == '[') {
                ++depth;
                ++at;
            } else if (text[at] == ']') {
                ++at;
                if (--depth == 0) return at;
            } else {
                ++at;
            }
        }
        return at;
    }
    ++at;
    while (at < text.size() && IsRegular(text[at])) ++at;
    return at;
}

size_t FindDictionaryKey(const std::string& text, const std::string& key) {
    const size_t open = text.find("<<");
    if (open == std::string::npos) return 0;
    auto skipWhite = [&text](size_t at) {
        while (at < text.size() &&
               (IsPdfWhite(static_cast<unsigned char>(text[at])) || text[at] == '%')) {
            at = text[at] == '%' ? std::min(text.find_first_of("\r\n", at), text.size()) : at + 1;
        }
        return at;
    };
    for (size_t at = skipWhite(open + 2); at < text.size() && text[at] == '/'; at = skipWhite(at)) {
        const size_t start = at++;
        while (at < text.size() && IsRegular(text[at])) ++at;
        if (text.compare(start, at - start, key) == 0) return at - 1;
        at = SkipDirectValue(text, skipWhite(at));
        // A reference is three tokens: the number just passed, a generation and R.
        const size_t generation = skipWhite(at);
        if (generation < text.size() && IsDecimalDigit(text[generation])) {
            const size_t r = skipWhite(SkipDirectValue(text, generation));
            if (r < text.size() && text[r] == 'R') at = r + 1;
        }
    }
    return 0;
}

std::optional<RawObjects::Span> RawObjects::storedSpan(uint64_t offset, uint32_t number,
                                                       uint32_t generation) const {
    FileReader& file = *reader_;
    const uint64_t fileSize = file.size();
    // An offset that holds another object (or none) gives nothing, as it does
    // when the object is fetched: copying the text there would list it twice.
    if (!holdsHeader(offset, number, generation)) return std::nullopt;
    Landmark landmark = FindEndobjOrStream(file, offset, fileSize);
    int64_t endobj = -1;
    if (landmark.isStream) {
        const auto streamKeyword = static_cast<uint64_t>(landmark.position);
        endobj = EndobjBehindStreamData(reader_, offset, streamKeyword, xref_);
        if (endobj < 0) endobj = FindObjectEnd(file, streamKeyword + 6);
    } else {
        endobj = landmark.position;
    }
    if (endobj < 0) endobj = FindFirst(file, offset, "endobj");
    if (endobj < 0) return std::nullopt;

    // The text runs through "endobj" and the one byte after it. At the very
    // end of the file there is no byte after "endobj"; a line end keeps the
    // next object from running into it.
    const uint64_t end = static_cast<uint64_t>(endobj) + 7;
    return Span{offset, std::min(end, fileSize) - offset, end > fileSize};
}

std::optional<RawObjects::Span> RawObjects::span(uint32_t number) const {
    if (number >= size()) return std::nullopt;
    const XRefEntry& entry = this->entry(number);
    if (entry.type != 1 || !entry.isDefined()) return std::nullopt;
    const uint64_t position = xref_.filePosition(entry.offset);
    if (position == UINT64_MAX) return std::nullopt;
    return storedSpan(position, number, entry.generation);
}

bool RawObjects::spanHolds(const Span& span, const std::string& pattern) const {
    if (pattern.empty() || pattern.size() > span.length) return false;
    const uint64_t end = span.offset + span.length;
    std::string chunk;
    for (uint64_t at = span.offset; at + pattern.size() <= end;) {
        const auto want = static_cast<size_t>(std::min<uint64_t>(kCopyChunk, end - at));
        ReadBytes(*reader_, at, want, chunk);
        if (chunk.find(pattern) != std::string::npos) return true;
        if (chunk.size() < want) return false;
        at += chunk.size() - (pattern.size() - 1);
    }
    return false;
}

std::string RawObjects::textOf(const Span& span) const {
    std::string text;
    ReadBytes(*reader_, span.offset, static_cast<size_t>(span.length), text);
    if (span.addLineEnd) text += '\n';
    return text;
}

bool RawObjects::copySpan(const Span& span, std::FILE* output) const {
    std::vector<char> buffer(std::min<uint64_t>(span.length, kCopyChunk));
    for (uint64_t done = 0; done < span.length;) {
        const auto want =
            static_cast<size_t>(std::min<uint64_t>(buffer.size(), span.length - done));
        const size_t got = reader_->read(span.offset + done, buffer.data(), want);
        if (got != want || std::fwrite(buffer.data(), 1, got, output) != got) return false;
        done += got;
    }
    return !span.addLineEnd || std::fputc('\n', output) != EOF;
}

bool RawObjects::holdsHeader(uint64_t offset, uint32_t number, uint32_t generation) const {
    std::string head;
    ReadBytes(*reader_, offset, 64, head);
    return StartsWithHeader(head, number, generation);
}

std::string RawObjects::bytesAt(uint64_t offset, size_t count) const {
    std::string bytes;
    ReadBytes(*reader_, offset, count, bytes);
    return bytes;
}

size_t FindText(const std::string& text, const std::string& pattern) {
    if (pattern.empty()) return 0;
    size_t found = text.find(pattern);
    if (found == std::string::npos) return 0;
    return found + pattern.size() - 1;
}

uint32_t FindReference(const std::string& text, const std::string& key) {
    size_t at = FindText(text, key);
    if (at == 0) return 0;
    while (at < text.size() && (text[at] < '0' || text[at] > '9')) ++at;
    uint64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = std::min<uint64_t>(value * 10 + static_cast<uint64_t>(text[at] - '0'), UINT32_MAX);
    }
    return static_cast<uint32_t>(value);
}

std::optional<std::string> RawObjects::text(uint32_t objectNumber) const {
    if (objectNumber >= size()) return std::nullopt;
    const XRefEntry& entry = this->entry(objectNumber);
    if (!entry.isDefined()) return std::nullopt;
    if (entry.type == 1) {
        const std::optional<Span> stored = span(objectNumber);
        if (!stored) return std::nullopt;
        return textOf(*stored);
    }
    if (entry.type == 2) {
        uint32_t length = 0;
        const unsigned char* bytes =
            xref_.getObjectBytes(static_cast<int32_t>(objectNumber), 0, length);
        if (bytes == nullptr || length == 0) return std::nullopt;
        std::string body(reinterpret_cast<const char*>(bytes), length);
        // Out of its object stream, an object of an encrypted file has its
        // strings encrypted as its own.
        const SecurityHandler* security = xref_.security();
        if (security != nullptr && static_cast<int32_t>(objectNumber) != xref_.encryptNum) {
            body = TransformStrings(body, [&](const std::string& plain) {
                return security->encryptString(plain, {objectNumber, 0});
            });
        }
        return Format("%ld 0 obj\r", static_cast<long>(objectNumber)) + body + " endobj\r";
    }
    return std::nullopt;
}

bool RawObjects::hasUndecodableStream(uint32_t number) const {
    CPdfElement object;
    try {
        xref_.fetch(static_cast<int32_t>(std::min<uint32_t>(number, INT32_MAX)),
                    static_cast<int32_t>(generationOf(number)), object);
    } catch (const CPdfException&) {
        return false;
    }
    // The parser gives an error value for a stream whose filters fail.
    return object.isError();
}

bool RawObjects::isObjectStream(uint32_t objectNumber) const {
    CPdfElement object;
    try {
        xref_.fetch(static_cast<int32_t>(objectNumber),
                    static_cast<int32_t>(generationOf(objectNumber)), object);
    } catch (const CPdfException&) {
        return false;  // a stream that cannot be read is copied as it stands
    }
    CPdfStream* stream = object.getStream();
    if (stream == nullptr || stream->getDict() == nullptr) return false;
    CPdfElement type;
    stream->getDict()->lookup("Type", type);
    return type.isName("ObjStm");
}

uint32_t RawObjects::generationOf(uint32_t number) const {
    if (number >= size()) return 0;
    const XRefEntry& found = entry(number);
    return found.type == 1 ? found.generation : 0;
}

namespace {

// The bytes of the one string token of text, as the parser reads them.
std::string StringBytes(const std::string& token) {
    CPdfElement none, value;
    none.initNull();
    CPdfParser parser(nullptr, new CPdfMemoryStream(token, none));
    parser.getObj(value);
    return value.getText();
}

std::string AsHexString(const std::string& bytes) {
    std::string out = "<";
    for (unsigned char c : bytes) out += Format("%02X", c);
    return out + ">";
}

}  // namespace

std::string TransformStrings(const std::string& text,
                             const std::function<std::string(const std::string&)>& change) {
    std::string out;
    out.reserve(text.size());
    size_t at = 0;
    while (at < text.size()) {
        const char c = text[at];
        size_t end = at + 1;
        if (c == '%') {
            // A comment runs to the end of its line, strings in it included.
            end = std::min(text.find_first_of("\r\n", at), text.size());
        } else if (c == '(' || (c == '<' && text.compare(at, 2, "<<") != 0)) {
            end = c == '(' ? std::min(SkipLiteralString(text, at), text.size())
                           : SkipHexString(text, at);
            out += AsHexString(change(StringBytes(text.substr(at, end - at))));
            at = end;
            continue;
        } else if (c == '<' || c == '/' || IsRegular(c)) {
            // "<<", names and other tokens: names may hold no string.
            end = c == '<' ? at + 2 : at + 1;
            while (c != '<' && end < text.size() && IsRegular(text[end])) ++end;
        }
        out.append(text, at, end - at);
        at = end;
    }
    return out;
}
