#include "writer/pdf_writer.h"

#include <algorithm>
#include <limits>

#include "base/error.h"
#include "base/platform.h"
#include "base/text_format.h"
#include "pdf/filters.h"
#include "pdf/lexer.h"

namespace {

// A header of the writer's own, for a file that has none where its table says.
constexpr const char* kOwnHeader = "%PDF-1.4\n";

// The bytes from the "%PDF-" line up to where its comment lines (the one
// with bytes above 127 that marks a binary file, usually) and the blank
// lines after them end. Anything else before the first object, superseded
// objects of an earlier revision in particular, is left behind.
std::string HeaderLines(const std::string& head) {
    if (head.rfind("%PDF-", 0) != 0) return kOwnHeader;
    size_t at = 0;
    while (at < head.size()) {
        if (head[at] == '%') {
            at = head.find_first_of("\r\n", at);
            if (at == std::string::npos) return head + "\n";
            at += head.compare(at, 2, "\r\n") == 0 ? 2 : 1;
        } else if (pdf::IsWhite(static_cast<unsigned char>(head[at])) && head[at] != '\0') {
            ++at;
        } else {
            break;
        }
    }
    return head.substr(0, at);
}

// The version of a "%PDF-M.N" header as M * 10 + N, with where its digits
// stand and how many bytes they take; 0 when it has no such version.
struct HeaderVersion {
    int version = 0;
    size_t at = 0;
    size_t length = 0;
};
HeaderVersion ReadHeaderVersion(const std::string& header) {
    constexpr size_t kDigits = 5;  // behind "%PDF-"
    if (header.size() < kDigits + 3 || !pdf::IsDigit(header[kDigits]) ||
        header[kDigits + 1] != '.' || !pdf::IsDigit(header[kDigits + 2])) {
        return {};
    }
    size_t end = kDigits + 3;
    while (end < header.size() && pdf::IsDigit(header[end])) ++end;
    // A minor version of two digits or more is above any this writer needs.
    const int minor = end == kDigits + 3 ? header[kDigits + 2] - '0' : 9;
    return {(header[kDigits] - '0') * 10 + minor, kDigits, end - kDigits};
}

// How many objects a list of records becomes: an item each, and every
// action after an item's first.
uint32_t CountNewObjects(const std::vector<BookmarkRecord>& records) {
    uint32_t count = 0;
    for (const BookmarkRecord& record : records) {
        count +=
            1 + static_cast<uint32_t>(record.actions.size() > 1 ? record.actions.size() - 1 : 0);
        count += CountNewObjects(record.children);
    }
    return count;
}

// Bytes a field needs for value, at least one.
int FieldWidth(uint64_t value) {
    int width = 1;
    while (width < 8 && (value >> (8 * width)) != 0) ++width;
    return width;
}

// The trailer keys the writer writes itself, or that describe the input's
// own cross-reference sections and would be wrong in the new file.
bool IsStructureKey(const std::string& key) {
    static const char* const kKeys[] = {"Size",         "Prev",        "Root",   "Info", "Encrypt",
                                        "ID",           "XRefStm",     "Type",   "W",    "Index",
                                        "Filter",       "DecodeParms", "Length", "F",    "FFilter",
                                        "FDecodeParms", "DL"};
    return std::find(std::begin(kKeys), std::end(kKeys), key) != std::end(kKeys);
}

}  // namespace

PdfWriter::PdfWriter(std::FILE* output, const pdf::RawObjects& input, const Catalog& catalog,
                     const PageTable& pages, const std::vector<uint32_t>& oldOutline,
                     Warnings& warnings)
    : output_(output),
      input_(input),
      catalog_(catalog),
      pages_(pages),
      warnings_(warnings),
      root_(static_cast<uint32_t>(input.xref().root().number)),
      streamForm_(std::any_of(input.xref().entries().begin(), input.xref().entries().end(),
                              [](const pdf::XRefEntry& entry) {
                                  return entry.type == 2 && entry.isDefined();
                              }) ||
                  input.xref().trailer().is("XRef")),
      objects_(input.size()),
      inOldOutline_(input.size()),
      referenced_(input.size()) {
    for (uint32_t number : oldOutline) {
        if (number < inOldOutline_.size() && number != root_) inOldOutline_[number] = true;
    }
    // Positions are counted as the text goes out: asking the file each time
    // costs a system call per object.
    const int64_t start = platform::Tell(output_);
    position_ = start < 0 ? 0 : static_cast<uint64_t>(start);
    writebackAt_ = position_;
}

void PdfWriter::writeWithOutline(const std::vector<BookmarkRecord>& records) {
    checkIdentifierCarries();
    copyHeader();
    if (streamForm_) requireVersion(15);
    noteReferences(trailerEntries());
    copyObjects();
    numberNewObjects(records);
    const uint32_t root = newObject();
    const ItemList items = writeOutlineItems(records, root);
    writeOutlineRoot(root, root + 1, items.last, items.visible);
    writeCatalog(root);
    writeOldOutlineObjectsReferredTo();
    if (streamForm_) {
        writeXrefStream();
    } else {
        const uint64_t xrefPosition = position();
        writeXrefTable();
        writeTrailer(xrefPosition);
    }
    raiseVersion();
    for (int32_t item : itemsWithoutGoTo_) {
        warnings_.add(
            Format("Warning: item %d has a go-to with no page; written without it", item));
    }
}

void PdfWriter::checkIdentifierCarries() const {
    pdf::XRef& xref = input_.xref();
    const pdf::SecurityHandler* security = xref.security();
    if (security == nullptr || !security->keyDependsOnIdentifier()) return;
    // The new file carries /ID as it stands, so its key is the input's only
    // when the input's key came from a string there.
    const pdf::Object id = xref.resolve(xref.trailer().get("ID"));
    const pdf::Object first = id.isArray() ? xref.resolve(id.array()->at(0)) : pdf::Object();
    if (!first.isString()) {
        throw Error(
            "Encrypted PDF file has no usable /ID in its trailer: a new file could not be "
            "decrypted\n");
    }
}

void PdfWriter::write(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), output_);
    advance(text.size());
}

void PdfWriter::advance(uint64_t bytes) {
    constexpr uint64_t kWritebackStep = 1 << 20;
    position_ += bytes;
    if (position_ - writebackAt_ < kWritebackStep) return;
    writebackAt_ = position_;
    platform::StartWriteback(output_);
}

void PdfWriter::checkOffset(uint64_t offset) {
    if (offset > kMaxOffset) {
        throw Error(
            "Output file would be too large: a cross-reference table reaches 9999999999 bytes\n");
    }
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
    entry.kind = ObjectEntry::Kind::Stored;
}

void PdfWriter::copySpan(uint32_t number, const pdf::RawObjects::Span& span) {
    ObjectEntry& entry = objects_[number];
    entry.offset = position();
    checkOffset(entry.offset);
    entry.generation = input_.generationOf(number);
    if (!input_.copySpan(span, output_)) throw Error("Output file write error\n");
    advance(span.length + (span.addLineEnd ? 1 : 0));
    entry.kind = ObjectEntry::Kind::Stored;
}

void PdfWriter::noteReference(uint32_t number) {
    if (number < referenced_.size()) {
        referenced_[number] = true;
    } else if (!numbered_) {
        // Before new objects are numbered, a number the input does not have
        // is one they must not take.
        beyondTable_.push_back(number);
    }
}

void PdfWriter::noteReferences(std::string_view text) {
    pdf::ForEachReference(text, [this](uint32_t number) { noteReference(number); });
}

void PdfWriter::noteNumbersBeyondTable(std::string_view text) {
    pdf::ForEachReference(text, [this](uint32_t number) {
        if (number >= referenced_.size()) noteReference(number);
    });
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
    // Comment lines are short; what stands beyond this is no header.
    constexpr uint64_t kLongestHeader = 1 << 16;
    const std::string header = HeaderLines(input_.bytesAt(
        input_.headerStart(),
        static_cast<size_t>(first != 0 ? std::min(first, kLongestHeader) : kLongestHeader)));
    const HeaderVersion version = ReadHeaderVersion(header);
    headerVersion_ = version.version;
    versionAt_ = position() + version.at;
    versionLength_ = version.length;
    write(header);
}

void PdfWriter::copyObjects() {
    for (uint32_t number = 0; number < input_.size(); ++number) {
        const pdf::XRefEntry& entry = input_.entry(number);
        if (!entry.isDefined()) continue;
        if (entry.type == 1) copyStoredObject(number);
        if (entry.type == 2) keepHeldObject(number, entry);
    }
}

void PdfWriter::copyStoredObject(uint32_t number) {
    // What the object refers to is read as its end is found, in one pass.
    std::vector<uint32_t>& references = referencesOfObject_;
    const std::optional<pdf::RawObjects::Span> span = input_.span(number, &references);
    if (!span) return;
    // The catalog is written anew, pointing at the new outline. What it refers
    // to counts when it is written, but numbers the input lacks count now,
    // before new objects take their numbers.
    if (number == root_) {
        for (uint32_t to : references) {
            if (to >= input_.size()) noteReference(to);
        }
        return;
    }
    // Large objects (images, fonts, embedded files) go across in pieces.
    const bool large = span->length > pdf::RawObjects::kCopyChunk;
    const std::string text = large ? std::string() : input_.textOf(*span);
    if (large || text.find("ObjStm") != std::string::npos ||
        text.find("XRef") != std::string::npos) {
        const std::string type = input_.streamType(number);
        // The input's cross-reference streams describe the input alone; its
        // object streams are kept when the new file refers into them.
        if (type == "XRef" || (type == "ObjStm" && !streamForm_)) return;
    }
    if (inOldOutline_[number]) {
        HeldBack held{number, *span, {}};
        for (uint32_t to : references) {
            if (to < input_.size()) {
                held.references.push_back(to);
            } else {
                noteReference(to);
            }
        }
        heldBack_.push_back(std::move(held));
        return;
    }
    for (uint32_t to : references) noteReference(to);
    if (large) {
        copySpan(number, *span);
    } else {
        writeObject(number, text, input_.generationOf(number));
    }
}

void PdfWriter::keepHeldObject(uint32_t number, const pdf::XRefEntry& entry) {
    std::optional<std::string> bytes;
    try {
        if (std::optional<std::string_view> found = input_.xref().objectStreamBytes(number)) {
            bytes = std::string(*found);
        }
    } catch (const Error&) {
        bytes.reset();
    }
    // An object nobody can read refers to nothing; one in a stream this
    // reader cannot decode may, for readers that can.
    if (!bytes && input_.hasUndecodableStream(static_cast<uint32_t>(entry.offset))) {
        referencesAllKnown_ = false;
    }
    if (number == root_) {
        if (bytes) noteNumbersBeyondTable(*bytes);
        return;
    }
    // The entry as the input lists it, its index mended where the stream's
    // header tells better. Old outline items stay listed too: their stream
    // is copied whole, and readers expect what a stream holds to be listed.
    objects_[number] = {ObjectEntry::Kind::Held, entry.offset, entry.generation};
    if (bytes) noteReferences(*bytes);
}

void PdfWriter::numberNewObjects(const std::vector<BookmarkRecord>& records) {
    // The outline root, its items with their extra actions, and the
    // cross-reference stream: numbered in one run above the input's numbers
    // and clear of every number its references name.
    const uint64_t count = 2 + uint64_t{CountNewObjects(records)};
    std::sort(beyondTable_.begin(), beyondTable_.end());
    beyondTable_.erase(std::unique(beyondTable_.begin(), beyondTable_.end()), beyondTable_.end());
    const uint64_t first =
        FirstFreeRun(static_cast<uint32_t>(objects_.size()),
                     static_cast<uint32_t>(std::min<uint64_t>(count, UINT32_MAX)), beyondTable_);
    if (first + count > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
        throw Error("Output file would have too many objects\n");
    }
    objects_.resize(first);
    numbered_ = true;
}

uint32_t FirstFreeRun(uint32_t first, uint32_t count, const std::vector<uint32_t>& taken) {
    uint64_t start = first;
    for (auto at = std::lower_bound(taken.begin(), taken.end(), first); at != taken.end(); ++at) {
        if (*at >= start + count) break;
        start = uint64_t{*at} + 1;
    }
    return static_cast<uint32_t>(std::min<uint64_t>(start, UINT32_MAX));
}

void PdfWriter::writeOldOutlineObjectsReferredTo() {
    // An old outline object something else refers to stays, and so does
    // every old outline object it refers to in turn.
    std::vector<uint32_t> waiting;
    std::vector<size_t> heldAt(input_.size(), SIZE_MAX);
    std::vector<bool> kept(heldBack_.size(), !referencesAllKnown_);
    for (size_t i = 0; i < heldBack_.size(); ++i) {
        heldAt[heldBack_[i].number] = i;
        if (referenced_[heldBack_[i].number]) kept[i] = true;
        if (kept[i]) waiting.push_back(static_cast<uint32_t>(i));
    }
    while (!waiting.empty()) {
        const HeldBack& held = heldBack_[waiting.back()];
        waiting.pop_back();
        for (uint32_t to : held.references) {
            const size_t at = heldAt[to];
            if (at != SIZE_MAX && !kept[at]) {
                kept[at] = true;
                waiting.push_back(static_cast<uint32_t>(at));
            }
        }
    }
    for (size_t i = 0; i < heldBack_.size(); ++i) {
        const HeldBack& held = heldBack_[i];
        if (!kept[i]) continue;
        if (held.span.length > pdf::RawObjects::kCopyChunk) {
            copySpan(held.number, held.span);
        } else {
            writeObject(held.number, input_.textOf(held.span), input_.generationOf(held.number));
        }
    }
}

void PdfWriter::raiseVersion() {
    // The digits are rewritten in place, so only a version of as many digits will do.
    if (headerVersion_ == 0 || requiredVersion_ <= headerVersion_ || versionLength_ != 3) return;
    const std::string digits = Format("%d.%d", requiredVersion_ / 10, requiredVersion_ % 10);
    if (!platform::Seek(output_, static_cast<int64_t>(versionAt_), SEEK_SET) ||
        std::fwrite(digits.data(), 1, digits.size(), output_) != digits.size() ||
        !platform::Seek(output_, 0, SEEK_END)) {
        throw Error("Output file write error\n");
    }
}

void PdfWriter::writeXrefTable() {
    const size_t size = objects_.size();
    write(Format("xref\n0 %ld\r", static_cast<long>(size)));
    write("0000000000 65535 f \r");
    // Lines go out a block at a time: a write each costs a call each.
    std::string lines;
    for (size_t i = 1; i < size; ++i) {
        const ObjectEntry& entry = objects_[i];
        const bool inUse = entry.kind == ObjectEntry::Kind::Stored;
        lines += XrefTableEntry(inUse ? entry.offset : 0, inUse ? entry.generation : 0, inUse);
        if (lines.size() >= (1 << 16)) {
            write(lines);
            lines.clear();
        }
    }
    write(lines);
}

std::string PdfWriter::trailerEntries() const {
    pdf::XRef& xref = input_.xref();
    const pdf::Dictionary& trailer = xref.trailer();
    std::string text;
    // Info as the input has it: a reference, or a dictionary of its own.
    const pdf::Object& info = trailer.get("Info");
    if (info.isReference() || info.isDictionary()) text += "/Info " + pdf::ValueText(info) + "\n";
    // An encrypted input stays encrypted: its Encrypt dictionary is copied as
    // it stands, and /ID, which its key depends on, is kept as it stands.
    if (xref.security() != nullptr)
        text += "/Encrypt " + pdf::ValueText(trailer.get("Encrypt")) + "\n";
    if (trailer.has("ID")) text += "/ID " + pdf::ValueText(trailer.get("ID")) + "\n";
    for (const auto& [key, value] : trailer.entries()) {
        if (!IsStructureKey(key)) text += pdf::NameToken(key) + " " + pdf::ValueText(value) + "\n";
    }
    return text;
}

void PdfWriter::writeTrailer(uint64_t xrefPosition) {
    const pdf::Reference root = input_.xref().root();
    write(Format("trailer\n<<\n/Size %ld", static_cast<long>(objects_.size())));
    write(Format("\n/Root %u %u R\n", static_cast<uint32_t>(root.number),
                 static_cast<uint32_t>(root.generation)));
    write(trailerEntries());
    write(Format(">>\nstartxref\n%llu\n%%%%EOF", static_cast<unsigned long long>(xrefPosition)));
}

void PdfWriter::writeXrefStream() {
    const uint32_t number = newObject();
    const uint64_t at = position();
    checkOffset(at);
    objects_[number] = {ObjectEntry::Kind::Stored, at, 0};

    std::vector<std::array<uint64_t, 3>> rows;
    rows.reserve(objects_.size());
    uint64_t widest = 0;
    uint64_t widestLast = 0;
    for (size_t i = 0; i < objects_.size(); ++i) {
        const ObjectEntry& entry = objects_[i];
        std::array<uint64_t, 3> row{0, 0, i == 0 ? 65535u : 0u};
        if (entry.kind == ObjectEntry::Kind::Stored) row = {1, entry.offset, entry.generation};
        if (entry.kind == ObjectEntry::Kind::Held) row = {2, entry.offset, entry.generation};
        widest = std::max(widest, row[1]);
        widestLast = std::max(widestLast, row[2]);
        rows.push_back(row);
    }
    const std::array<int, 3> widths{1, FieldWidth(widest), FieldWidth(widestLast)};
    const std::string data = pdf::FlateEncode(PredictedRows(rows, widths));
    const pdf::Reference root = input_.xref().root();
    const std::string dictionary =
        Format("<<\n/Type /XRef\n/Size %llu\n/W [1 %d %d]\n/Root %u %u R\n",
               static_cast<unsigned long long>(objects_.size()), widths[1], widths[2],
               static_cast<uint32_t>(root.number), static_cast<uint32_t>(root.generation)) +
        trailerEntries() +
        Format("/Filter /FlateDecode\n/DecodeParms <</Columns %d /Predictor 12>>\n/Length %llu\n>>",
               widths[0] + widths[1] + widths[2], static_cast<unsigned long long>(data.size()));
    write(Format("%u 0 obj\n", number) + dictionary + "\nstream\n" + data +
          "\nendstream\nendobj\n");
    write(Format("startxref\n%llu\n%%%%EOF", static_cast<unsigned long long>(at)));
}

std::string PredictedRows(const std::vector<std::array<uint64_t, 3>>& rows,
                          const std::array<int, 3>& widths) {
    const size_t columns = static_cast<size_t>(widths[0] + widths[1] + widths[2]);
    std::string data;
    data.reserve(rows.size() * (columns + 1));
    std::string above(columns, '\0');
    std::string row(columns, '\0');
    for (const auto& fields : rows) {
        size_t column = 0;
        for (size_t field = 0; field < 3; ++field) {
            for (int byte = widths[field] - 1; byte >= 0; --byte) {
                row[column++] = static_cast<char>((fields[field] >> (8 * byte)) & 0xFF);
            }
        }
        data += '\2';
        for (size_t i = 0; i < columns; ++i) {
            data += static_cast<char>(static_cast<unsigned char>(row[i]) -
                                      static_cast<unsigned char>(above[i]));
        }
        above.swap(row);
    }
    return data;
}

std::string XrefTableEntry(uint64_t offset, uint32_t generation, bool inUse) {
    // Written by hand: a table of millions of lines is no job for printf.
    std::string line = "0000000000 00000 n \r";
    // The caps keep each number within its field's digits.
    offset = std::min<uint64_t>(offset, 9999999999);
    for (int at = 9; offset != 0; --at, offset /= 10) {
        line[static_cast<size_t>(at)] = static_cast<char>('0' + offset % 10);
    }
    generation = std::min<uint32_t>(generation, 65535);
    for (int at = 15; generation != 0; --at, generation /= 10) {
        line[static_cast<size_t>(at)] = static_cast<char>('0' + generation % 10);
    }
    if (!inUse) line[17] = 'f';
    return line;
}
