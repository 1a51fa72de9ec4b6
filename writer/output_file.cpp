#include <algorithm>

#include "app/application.h"
#include "app/text_format.h"
#include "writer/writer.h"

uint32_t CFolivants::HeaderStart() const {
    return xref != nullptr ? xref->getStart() : 0;
}

uint32_t CFolivants::GenerationOf(uint32_t objectNumber) const {
    if (xrefEntries == nullptr || objectNumber >= xrefEntries->size()) return 0;
    const XRefEntry& entry = (*xrefEntries)[objectNumber];
    return entry.type == 1 ? entry.generation : 0;
}

void CFolivants::WriteOutput(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), outputFile.get());
}

uint32_t CFolivants::OutputPosition() const {
    return static_cast<uint32_t>(std::ftell(outputFile.get()));
}

void CFolivants::WriteObject(uint32_t number, const std::string& text, uint32_t generation) {
    OutputObjectEntry& entry = objectTable[number];
    entry.offset = OutputPosition();
    entry.generation = generation;
    WriteOutput(text);
    entry.written = true;
}

void CFolivants::CopyHeader() {
    // The header runs up to the first object that really stands where its
    // entry says; a stale entry pointing into the header must not cut it short.
    std::vector<std::pair<uint32_t, uint32_t>> stored;  // offset, object number
    for (size_t i = 1; i < xrefEntries->size(); ++i) {
        const XRefEntry& entry = (*xrefEntries)[i];
        if (entry.type == 1 && entry.isDefined() && entry.offset != 0) {
            stored.emplace_back(entry.offset, static_cast<uint32_t>(i));
        }
    }
    std::sort(stored.begin(), stored.end());
    std::FILE* input = inputFile.get();
    const uint32_t start = HeaderStart();
    uint32_t first = 0;
    for (const auto& [offset, number] : stored) {
        if (HoldsObjectHeader(input, uint64_t{start} + offset, number, GenerationOf(number))) {
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
    WriteOutput(header);
}

void CFolivants::CopyObjects() {
    const size_t count = xrefEntries->size();
    for (size_t i = 0; i < count; ++i) {
        const XRefEntry& entry = (*xrefEntries)[i];
        const auto number = static_cast<uint32_t>(i);
        if (entry.type == 0 || !entry.isDefined() || objectTable[i].written) continue;
        // The catalog is written anew, pointing at the new outline.
        if (number == rootObject) continue;
        std::optional<std::string> text =
            ReadObjectText(inputFile.get(), number, *xref, *xrefEntries, HeaderStart());
        if (!text || text->empty()) continue;
        // Only object streams themselves are left out; other objects may well
        // hold those letters in their data.
        if (FindText(*text, "ObjStm") != 0 && IsObjectStream(*xref, number, GenerationOf(number))) {
            continue;
        }
        WriteObject(number, *text, GenerationOf(number));
    }
}

void CFolivants::WriteXrefTable() {
    const size_t size = objectTable.size();
    WriteOutput(Format("xref\n0 %ld\r", static_cast<long>(size)));
    WriteOutput("0000000000 65535 f \r");
    for (size_t i = 1; i < size; ++i) {
        const OutputObjectEntry& entry = objectTable[i];
        WriteOutput(
            XrefTableEntry(entry.offset, entry.written ? entry.generation : 0, entry.written));
    }
}

void CFolivants::WriteTrailer(uint32_t xrefPosition) {
    WriteOutput(Format("trailer\n<<\n/Size %ld", static_cast<long>(objectTable.size())));
    WriteOutput(Format("\n/Root %u %u R\n", rootObject, rootGeneration));
    if (infoObject != 0) WriteOutput(Format("/Info %u %u R\n", infoObject, infoGeneration));
    WriteOutput(Format(">>\nstartxref\n%u\n%%%%EOF", xrefPosition));
}
