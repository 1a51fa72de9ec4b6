#include "writer/pdf_writer.h"

#include <algorithm>

#include "base/exception.h"
#include "base/text_format.h"

PdfWriter::PdfWriter(std::FILE* output, const RawObjects& input, const PageTable& pages)
    : output_(output), input_(input), pages_(pages), objects_(input.size()) {}

void PdfWriter::writeWithOutline(const std::vector<BookmarkRecord>& records) {
    copyHeader();
    copyObjects();
    // The outline root takes the first number after the input's objects, and
    // its items follow it.
    const uint32_t root = newObject();
    const uint32_t last = writeOutlineItems(records, root);
    writeOutlineRoot(root, root + 1, last, static_cast<uint32_t>(records.size()));
    writeCatalog(root);
    const uint32_t xrefPosition = position();
    writeXrefTable();
    writeTrailer(xrefPosition);
}

void PdfWriter::write(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), output_);
}

uint32_t PdfWriter::position() const {
    return static_cast<uint32_t>(std::ftell(output_));
}

uint32_t PdfWriter::newObject() {
    objects_.emplace_back();
    return static_cast<uint32_t>(objects_.size() - 1);
}

void PdfWriter::writeObject(uint32_t number, const std::string& text, uint32_t generation) {
    ObjectEntry& entry = objects_[number];
    entry.offset = position();
    entry.generation = generation;
    write(text);
    entry.written = true;
}

void PdfWriter::copyHeader() {
    // The header runs up to the first object that really stands where its
    // entry says; a stale entry pointing into the header must not cut it short.
    std::vector<std::pair<uint32_t, uint32_t>> stored;  // offset, object number
    for (uint32_t i = 1; i < input_.size(); ++i) {
        const XRefEntry& entry = input_.entry(i);
        if (entry.type == 1 && entry.isDefined() && entry.offset != 0) {
            stored.emplace_back(entry.offset, i);
        }
    }
    std::sort(stored.begin(), stored.end());
    std::FILE* input = input_.file();
    const uint32_t start = input_.headerStart();
    uint32_t first = 0;
    for (const auto& [offset, number] : stored) {
        if (input_.holdsHeader(uint64_t{start} + offset, number, input_.generationOf(number))) {
            first = offset;
            break;
        }
    }
    std::string header;
    if (first != 0 && std::fseek(input, static_cast<long>(start), SEEK_SET) == 0) {
        header.resize(first);
        header.resize(std::fread(header.data(), 1, header.size(), input));
    }
    if (header.empty()) {
        // No object stands in the file itself: the header line alone will do.
        std::fseek(input, static_cast<long>(start), SEEK_SET);
        char line[1024];
        if (std::fgets(line, sizeof line, input) != nullptr &&
            std::string(line).rfind("%PDF-", 0) == 0) {
            header = line;
        } else {
            header = "%PDF-1.4\n";
        }
    }
    write(header);
}

void PdfWriter::copyObjects() {
    const auto root = static_cast<uint32_t>(input_.xref().rootNum);
    for (uint32_t number = 0; number < input_.size(); ++number) {
        const XRefEntry& entry = input_.entry(number);
        if (entry.type == 0 || !entry.isDefined() || objects_[number].written) continue;
        // The catalog is written anew, pointing at the new outline.
        if (number == root) continue;
        std::optional<std::string> text = input_.text(number);
        // An object kept in an object stream whose filters cannot be decoded
        // would be missing from the new file: the job fails instead.
        if (!text && entry.type == 2 && input_.hasUndecodableStream(entry.offset)) {
            throw CPdfException("Object stream cannot be decoded\n");
        }
        if (!text || text->empty()) continue;
        // Only object streams themselves are left out; other objects may well
        // hold those letters in their data.
        if (FindText(*text, "ObjStm") != 0 && input_.isObjectStream(number)) continue;
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

void PdfWriter::writeTrailer(uint32_t xrefPosition) {
    const CPdfXRef& xref = input_.xref();
    write(Format("trailer\n<<\n/Size %ld", static_cast<long>(objects_.size())));
    write(Format("\n/Root %u %u R\n", static_cast<uint32_t>(xref.rootNum),
                 static_cast<uint32_t>(xref.rootGen)));
    if (xref.infoNum != 0) {
        write(Format("/Info %u %u R\n", static_cast<uint32_t>(xref.infoNum),
                     static_cast<uint32_t>(xref.infoGen)));
    }
    write(FileIdentifier(xref.getTrailer()));
    write(Format(">>\nstartxref\n%u\n%%%%EOF", xrefPosition));
}

// The input's /ID (two strings), written as hexadecimal strings so that its
// bytes stay as they were; nothing when the input has none.
std::string FileIdentifier(const CPdfElement& trailer) {
    CPdfElement id;
    if (const CPdfDictionary* dict = trailer.getDict()) dict->lookup("ID", id);
    const CPdfArray* array = id.getArray();
    if (array == nullptr || array->getLength() != 2) return "";
    std::string text = "/ID [";
    for (int i = 0; i < 2; ++i) {
        CPdfElement part;
        array->get(i, part);
        if (!part.isString()) return "";
        text += "<";
        for (unsigned char c : part.getText()) text += Format("%02X", c);
        text += i == 0 ? "> " : ">]\n";
    }
    return text;
}

std::string XrefTableEntry(uint32_t offset, uint32_t generation, bool inUse) {
    return Format("%010u %05u %c \r", offset, std::min<uint32_t>(generation, 65535),
                  inUse ? 'n' : 'f');
}
