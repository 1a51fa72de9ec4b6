#include "writer/pdf_writer.h"

#include <algorithm>

#include "base/exception.h"
#include "base/platform.h"
#include "base/text_format.h"

namespace {

// The first line of the file from its "%PDF-" header, as a line reader
// gives it, or a header of its own when the file has none there.
std::string HeaderLine(const std::string& head) {
    const size_t lineEnd = head.find('\n');
    std::string line = head.substr(0, lineEnd == std::string::npos ? head.size() : lineEnd + 1);
    line = line.substr(0, line.find('\0'));
    return line.rfind("%PDF-", 0) == 0 ? line : "%PDF-1.4\n";
}

}  // namespace

PdfWriter::PdfWriter(std::FILE* output, const pdf::RawObjects& input, const Catalog& catalog,
                     const PageTable& pages)
    : output_(output), input_(input), catalog_(catalog), pages_(pages), objects_(input.size()) {
    // Positions are counted as the text goes out: asking the file each time
    // costs a system call per object.
    const int64_t start = platform::Tell(output_);
    position_ = start < 0 ? 0 : static_cast<uint64_t>(start);
}

void PdfWriter::writeWithOutline(const std::vector<BookmarkRecord>& records) {
    copyHeader();
    copyObjects();
    // The outline root takes the first number after the input's objects, and
    // its items follow it.
    const uint32_t root = newObject();
    const ItemList items = writeOutlineItems(records, root);
    writeOutlineRoot(root, root + 1, items.last, items.visible);
    writeCatalog(root);
    const uint64_t xrefPosition = position();
    writeXrefTable();
    writeTrailer(xrefPosition);
}

void PdfWriter::write(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), output_);
    position_ += text.size();
}

void PdfWriter::checkOffset(uint64_t offset) {
    if (offset > kMaxOffset) {
        throw CPdfException(
            "Output file would be too large: a cross-reference table reaches 9999999999 bytes\n");
    }
}

uint64_t PdfWriter::position() const {
    return position_;
}

uint32_t PdfWriter::newObject() {
    objects_.emplace_back();
    return static_cast<uint32_t>(objects_.size() - 1);
}

void PdfWriter::writeObject(uint32_t number, const std::string& text, uint32_t generation) {
    ObjectEntry& entry = objects_[number];
    entry.offset = position();
    checkOffset(entry.offset);
    entry.generation = generation;
    write(text);
    entry.written = true;
}

std::string PdfWriter::sealed(uint32_t number, const std::string& fragment) const {
    const pdf::SecurityHandler* security = input_.xref().security();
    if (security == nullptr) return fragment;
    return pdf::TransformStrings(fragment, [&](const std::string& plain) {
        return security->encryptString(plain, {number, 0});
    });
}

std::string PdfWriter::rekeyed(const std::string& fragment, uint32_t from, uint32_t to) const {
    const pdf::SecurityHandler* security = input_.xref().security();
    if (security == nullptr) return fragment;
    const pdf::ObjectId source{from, input_.generationOf(from)};
    return pdf::TransformStrings(fragment, [&](const std::string& encrypted) {
        return security->encryptString(security->decryptString(encrypted, source), {to, 0});
    });
}

void PdfWriter::copyObject(uint32_t number, const pdf::RawObjects::Span& span) {
    ObjectEntry& entry = objects_[number];
    entry.offset = position();
    checkOffset(entry.offset);
    entry.generation = input_.generationOf(number);
    if (!input_.copySpan(span, output_)) throw CPdfException("Output file write error\n");
    position_ += span.length + (span.addLineEnd ? 1 : 0);
    entry.written = true;
}

void PdfWriter::copyHeader() {
    // The header runs up to the first object that really stands where its
    // entry says; a stale entry pointing into the header must not cut it short.
    std::vector<std::pair<uint64_t, uint32_t>> stored;  // offset, object number
    for (uint32_t i = 1; i < input_.size(); ++i) {
        const pdf::XRefEntry& entry = input_.entry(i);
        if (entry.type == 1 && entry.isDefined() && entry.offset != 0) {
            stored.emplace_back(entry.offset, i);
        }
    }
    std::sort(stored.begin(), stored.end());
    const pdf::XRef& xref = input_.xref();
    uint64_t first = 0;
    for (const auto& [offset, number] : stored) {
        const uint64_t at = xref.filePosition(offset);
        if (at != UINT64_MAX && input_.holdsHeader(at, number, input_.generationOf(number))) {
            first = offset;
            break;
        }
    }
    std::string header;
    if (first != 0) header = input_.bytesAt(input_.headerStart(), static_cast<size_t>(first));
    if (header.empty()) {
        // No object stands in the file itself: the header line alone will do.
        header = HeaderLine(input_.bytesAt(input_.headerStart(), 1023));
    }
    write(header);
}

void PdfWriter::copyObjects() {
    const auto root = static_cast<uint32_t>(input_.xref().root().number);
    for (uint32_t number = 0; number < input_.size(); ++number) {
        const pdf::XRefEntry& entry = input_.entry(number);
        if (entry.type == 0 || !entry.isDefined() || objects_[number].written) continue;
        // The catalog is written anew, pointing at the new outline.
        if (number == root) continue;
        std::optional<std::string> text;
        if (entry.type == 1) {
            const std::optional<pdf::RawObjects::Span> span = input_.span(number);
            if (!span) continue;
            // Large objects (images, fonts, embedded files) go across in pieces.
            if (span->length > pdf::RawObjects::kCopyChunk) {
                if (input_.isObjectStream(number) && input_.spanHolds(*span, "ObjStm")) continue;
                copyObject(number, *span);
                continue;
            }
            text = input_.textOf(*span);
        } else {
            text = input_.text(number);
        }
        // An object kept in an object stream whose filters cannot be decoded
        // would be missing from the new file: the job fails instead.
        if (!text && entry.type == 2 && input_.hasUndecodableStream(entry.offset)) {
            throw CPdfException("Object stream cannot be decoded\n");
        }
        if (!text || text->empty()) continue;
        // Only object streams themselves are left out; other objects may well
        // hold those letters in their data.
        if (text->find("ObjStm") != std::string::npos && input_.isObjectStream(number)) continue;
        writeObject(number, *text, input_.generationOf(number));
    }
}

void PdfWriter::writeXrefTable() {
    const size_t size = objects_.size();
    write(Format("xref\n0 %ld\r", static_cast<long>(size)));
    write("0000000000 65535 f \r");
    for (size_t i = 1; i < size; ++i) {
        const ObjectEntry& entry = objects_[i];
        write(XrefTableEntry(entry.offset, entry.written ? entry.generation : 0, entry.written));
    }
}

void PdfWriter::writeTrailer(uint64_t xrefPosition) {
    pdf::XRef& xref = input_.xref();
    write(Format("trailer\n<<\n/Size %ld", static_cast<long>(objects_.size())));
    write(Format("\n/Root %u %u R\n", static_cast<uint32_t>(xref.root().number),
                 static_cast<uint32_t>(xref.root().generation)));
    if (xref.info().number != 0) {
        write(Format("/Info %u %u R\n", static_cast<uint32_t>(xref.info().number),
                     static_cast<uint32_t>(xref.info().generation)));
    }
    // An encrypted input stays encrypted: its Encrypt dictionary is copied as
    // it stands, and the identifier its key depends on is kept below.
    if (xref.security() != nullptr) {
        write(Format("/Encrypt %u %u R\n", static_cast<uint32_t>(xref.encryptRef().number),
                     static_cast<uint32_t>(xref.encryptRef().generation)));
    }
    write(FileIdentifier(xref.trailer(), xref));
    write(Format(">>\nstartxref\n%llu\n%%%%EOF", static_cast<unsigned long long>(xrefPosition)));
}

// The input's /ID (two strings), written as hexadecimal strings so that its
// bytes stay as they were; nothing when the input has none.
std::string FileIdentifier(const pdf::Dictionary& trailer, pdf::XRef& xref) {
    const pdf::Object id = xref.resolve(trailer.get("ID"));
    const pdf::Array* array = id.array();
    if (array == nullptr || array->size() != 2) return "";
    std::string text = "/ID [";
    for (size_t i = 0; i < 2; ++i) {
        const pdf::Object part = xref.resolve(array->at(i));
        if (!part.isString()) return "";
        text += "<";
        for (unsigned char c : part.text()) text += Format("%02X", c);
        text += i == 0 ? "> " : ">]\n";
    }
    return text;
}

std::string XrefTableEntry(uint64_t offset, uint32_t generation, bool inUse) {
    return Format("%010llu %05u %c \r", static_cast<unsigned long long>(offset),
                  std::min<uint32_t>(generation, 65535), inUse ? 'n' : 'f');
}
