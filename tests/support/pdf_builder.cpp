#include "support/pdf_builder.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <stdexcept>
#include <utility>

namespace fixture {

namespace {

// One cross-reference entry as an xref stream holds it: type 0 free (next free, generation),
// 1 in use (offset, generation), 2 compressed (object stream, index).
struct Entry {
    int type = 0;
    long field2 = 0;
    long field3 = 0;
};

using Entries = std::map<int, Entry>;

std::string deflate(const std::string& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                  9) != Z_OK)
        throw std::runtime_error("zlib compress2 failed");
    out.resize(size);
    return out;
}

// PNG "Up" rows, as most writers store cross-reference streams.
std::string pngUpRows(const std::string& data, size_t rowBytes) {
    std::string out;
    std::string previous(rowBytes, '\0');
    for (size_t start = 0; start < data.size(); start += rowBytes) {
        const std::string row = data.substr(start, rowBytes);
        out += '\2';
        for (size_t i = 0; i < row.size(); ++i) out += static_cast<char>(row[i] - previous[i]);
        previous.replace(0, row.size(), row);
    }
    return out;
}

std::string streamBody(const std::string& dictEntries, const std::string& length,
                       const std::string& filters, const std::string& encoded) {
    const std::string entries = dictEntries.empty() ? "" : dictEntries + " ";
    return "<< " + entries + "/Length " + length + filters + " >>\nstream\n" + encoded +
           "\nendstream";
}

std::string directStreamBody(const std::string& dictEntries, const std::string& data, bool flate) {
    const std::string encoded = flate ? deflate(data) : data;
    return streamBody(dictEntries, std::to_string(encoded.size()),
                      flate ? " /Filter /FlateDecode" : "", encoded);
}

unsigned long largestValue(int width) {
    return width >= static_cast<int>(sizeof(unsigned long)) ? ~0ul : (1ul << (8 * width)) - 1;
}

void putField(std::string& row, long value, int width) {
    if (value < 0 || static_cast<unsigned long>(value) > largestValue(width))
        throw std::logic_error("xref field value does not fit its /W width");
    for (int i = width - 1; i >= 0; --i)
        row +=
            static_cast<char>(i >= 8 ? 0 : (static_cast<unsigned long>(value) >> (8 * i)) & 0xFF);
}

std::string packRows(const Entries& rows, const int widths[3]) {
    if (widths[0] < 0 || widths[1] < 0 || widths[2] < 0)
        throw std::logic_error("negative /W width");
    std::string packed;
    for (const auto& [num, entry] : rows) {
        if (widths[0] == 0 && entry.type != 1)
            throw std::logic_error("xref stream without a type field lists object " +
                                   std::to_string(num) + ", which is not an ordinary one");
        if (widths[0] != 0) putField(packed, entry.type, widths[0]);
        putField(packed, entry.field2, widths[1]);
        putField(packed, entry.field3, widths[2]);
    }
    return packed;
}

std::string tableLine(const Entry& e) {
    char line[64];
    std::snprintf(line, sizeof line, "%010ld %05ld %c\r\n", e.field2, e.field3,
                  e.type == 0 ? 'f' : 'n');
    return line;
}

// Runs of consecutive numbers as "first count" pairs, for subsections and /Index.
std::vector<std::pair<int, int>> runsOf(const Entries& entries) {
    std::vector<std::pair<int, int>> runs;
    for (const auto& entry : entries) {
        if (!runs.empty() && runs.back().first + runs.back().second == entry.first)
            ++runs.back().second;
        else
            runs.emplace_back(entry.first, 1);
    }
    return runs;
}

// "/Index [first count ...]" for the runs of the listed numbers.
std::string indexEntry(const Entries& rows) {
    std::string index;
    for (const auto& [start, count] : runsOf(rows))
        index += (index.empty() ? "" : " ") + std::to_string(start) + " " + std::to_string(count);
    return " /Index [" + index + "]";
}

std::string xrefStreamBody(const Entries& rows, int size, const int widths[3],
                           const std::string& moreEntries, bool compress) {
    std::string dict = "/Type /XRef /Size " + std::to_string(size) + " /W [" +
                       std::to_string(widths[0]) + " " + std::to_string(widths[1]) + " " +
                       std::to_string(widths[2]) + "]" + moreEntries;
    const std::string packed = packRows(rows, widths);
    if (!compress) return directStreamBody(dict, packed, false);
    const size_t rowBytes = static_cast<size_t>(std::max(1, widths[0] + widths[1] + widths[2]));
    const std::string encoded = deflate(pngUpRows(packed, rowBytes));
    return streamBody(dict, std::to_string(encoded.size()),
                      " /Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns " +
                          std::to_string(rowBytes) + " >>",
                      encoded);
}

Entry objectZero(int generationWidth) {
    return {0, 0, static_cast<long>(std::min(65535ul, largestValue(generationWidth)))};
}

std::string prevEntry(long previousXref, bool asReference) {
    if (previousXref < 0) return "";
    return " /Prev " + std::to_string(previousXref) + (asReference ? " 0 R" : "");
}

std::string withSpace(const std::string& extra) {
    return extra.empty() ? "" : " " + extra;
}

}  // namespace

// Writes the sections one after the other and hands out the numbers the builder picks.
class FileLayout {
public:
    explicit FileLayout(const PdfBuilder& builder);
    const std::string& bytes() const { return bytes_; }
    long offsetOf(int num) const;

private:
    using Item = PdfBuilder::Item;
    using Section = PdfBuilder::Section;

    // Offsets in the file count from the header, not from the start of any junk.
    long position() const { return static_cast<long>(bytes_.size() - headerStart_); }
    void writeObject(int num, int gen, const std::string& body, Entries& listed);
    Entries writeBody(const Section& section);
    void writeStream(const Item& item, Entries& listed);
    void writeTable(const SectionOptions& o, Entries& listed, bool first);
    void writeXrefStream(const SectionOptions& o, Entries& listed, bool first);
    int sizeAfter(const Entries& listed);
    long freedGeneration(const Entries& listed, int num) const;
    void endSection(long xrefPosition, const Entries& listed);

    std::string bytes_;
    size_t headerStart_;
    std::map<int, long> lineOffsets_;
    Entries state_;  // every object's newest entry so far
    int nextAutomatic_ = 1;
    int highest_ = 0;
    long previousXref_ = -1;
};

FileLayout::FileLayout(const PdfBuilder& builder)
    : bytes_(builder.junk_), headerStart_(builder.junk_.size()) {
    int highestGiven = 0;
    for (const Section& section : builder.sections_) {
        const bool listsCompressed =
            section.options.form == XrefForm::Stream || section.options.hybrid;
        for (const Item& item : section.items) {
            if (item.kind == PdfBuilder::ItemKind::Compressed && !listsCompressed)
                throw std::logic_error("compressed objects need an xref stream or a hybrid table");
            highestGiven = std::max({highestGiven, item.num, item.objStm});
        }
    }
    nextAutomatic_ = highestGiven + 1;

    bytes_ += "%PDF-" + builder.version_ + "\n%\xE2\xE3\xCF\xD3\n";
    for (size_t i = 0; i < builder.sections_.size(); ++i) {
        const Section& section = builder.sections_[i];
        Entries listed = writeBody(section);
        if (section.options.form == XrefForm::Table)
            writeTable(section.options, listed, i == 0);
        else
            writeXrefStream(section.options, listed, i == 0);
    }
}

long FileLayout::offsetOf(int num) const {
    const auto found = lineOffsets_.find(num);
    return found == lineOffsets_.end() ? -1 : found->second;
}

void FileLayout::writeObject(int num, int gen, const std::string& body, Entries& listed) {
    listed[num] = {1, position(), gen};
    lineOffsets_[num] = static_cast<long>(bytes_.size());
    bytes_ += std::to_string(num) + " " + std::to_string(gen) + " obj\n" + body + "\nendobj\n";
}

Entries FileLayout::writeBody(const Section& section) {
    Entries listed;
    std::vector<std::pair<int, std::vector<const Item*>>> objectStreams;
    for (const Item& item : section.items) {
        switch (item.kind) {
            case PdfBuilder::ItemKind::Object:
                writeObject(item.num, item.gen, item.body, listed);
                break;
            case PdfBuilder::ItemKind::Stream:
                writeStream(item, listed);
                break;
            case PdfBuilder::ItemKind::Free:
                listed[item.num] = {0, 0, freedGeneration(listed, item.num)};
                break;
            case PdfBuilder::ItemKind::Compressed: {
                auto holder = std::find_if(objectStreams.begin(), objectStreams.end(),
                                           [&](const auto& s) { return s.first == item.objStm; });
                if (holder == objectStreams.end()) {
                    objectStreams.emplace_back(item.objStm, std::vector<const Item*>());
                    holder = objectStreams.end() - 1;
                }
                listed[item.num] = {2, item.objStm, static_cast<long>(holder->second.size())};
                holder->second.push_back(&item);
                lineOffsets_.erase(item.num);
                break;
            }
        }
    }
    for (const auto& [num, members] : objectStreams) {
        std::string header;
        std::string objects;
        for (const Item* member : members) {
            header += std::to_string(member->num) + " " + std::to_string(objects.size()) + " ";
            objects += member->body + "\n";
        }
        header.back() = '\n';
        const std::string dict = "/Type /ObjStm /N " + std::to_string(members.size()) + " /First " +
                                 std::to_string(header.size());
        writeObject(num, 0, directStreamBody(dict, header + objects, true), listed);
    }
    return listed;
}

void FileLayout::writeStream(const Item& item, Entries& listed) {
    writeObject(item.num, item.gen,
                directStreamBody(item.body, item.data, item.streamOptions.flate), listed);
}

void FileLayout::writeTable(const SectionOptions& o, Entries& listed, bool first) {
    Entries compressed;
    for (auto it = listed.begin(); it != listed.end();) {
        if (it->second.type != 2) {
            ++it;
            continue;
        }
        compressed.insert(*it);
        it = listed.erase(it);
    }
    std::string xrefStm;
    if (!compressed.empty()) {
        const int num = nextAutomatic_++;
        sizeAfter(listed);
        sizeAfter(compressed);
        const int size = sizeAfter({{num, Entry{}}});
        const int widths[3] = {1, 4, 2};
        xrefStm = " /XRefStm " + std::to_string(position());
        const std::string body =
            xrefStreamBody(compressed, size, widths, indexEntry(compressed), true);
        writeObject(num, 0, body, listed);
    }
    const int size = sizeAfter(listed);
    const long xrefPosition = position();
    // The first table covers every number, its gaps listed as free, except the objects the
    // hidden stream lists: a free entry here would hide them from readers that let the table win.
    Entries rows = listed;
    if (first) {
        rows[0] = objectZero(2);
        for (int num = 1; num < size; ++num)
            if (compressed.count(num) == 0) rows.emplace(num, Entry{});
    }
    bytes_ += "xref\n";
    for (const auto& [start, count] : runsOf(rows)) {
        bytes_ += std::to_string(start) + " " + std::to_string(count) + "\n";
        for (int num = start; num < start + count; ++num) bytes_ += tableLine(rows[num]);
    }
    bytes_ += "trailer\n<< /Size " + std::to_string(size) +
              prevEntry(previousXref_, o.prevAsReference) + xrefStm + withSpace(o.trailerExtra) +
              " >>\n";
    listed.insert(compressed.begin(), compressed.end());
    endSection(xrefPosition, listed);
}

void FileLayout::writeXrefStream(const SectionOptions& o, Entries& listed, bool first) {
    const int num = nextAutomatic_++;
    listed[num] = {1, position(), 0};
    const int size = sizeAfter(listed);
    Entries rows;
    if (o.writeIndex) {
        rows = listed;
        if (first && o.widths[0] != 0) rows[0] = objectZero(o.widths[2]);
    } else {
        // Listing the whole range in an update repeats the older entries: a free entry would
        // delete them.
        for (int n = 0; n < size; ++n) {
            const auto mine = listed.find(n);
            const auto older = state_.find(n);
            rows[n] = mine != listed.end()    ? mine->second
                      : older != state_.end() ? older->second
                      : n == 0                ? objectZero(o.widths[2])
                                              : Entry{};
        }
    }
    const std::string entries = (o.writeIndex ? indexEntry(rows) : "") +
                                prevEntry(previousXref_, o.prevAsReference) +
                                withSpace(o.trailerExtra);
    const long xrefPosition = position();
    Entries ignored;  // listed already holds the stream's own entry
    writeObject(num, 0, xrefStreamBody(rows, size, o.widths, entries, o.compress), ignored);
    endSection(xrefPosition, listed);
}

// /Size: one more than the highest number the file has used so far.
int FileLayout::sizeAfter(const Entries& listed) {
    if (!listed.empty()) highest_ = std::max(highest_, listed.rbegin()->first);
    return highest_ + 1;
}

long FileLayout::freedGeneration(const Entries& listed, int num) const {
    const Entry* previous = nullptr;
    if (const auto mine = listed.find(num); mine != listed.end())
        previous = &mine->second;
    else if (const auto older = state_.find(num); older != state_.end())
        previous = &older->second;
    if (previous == nullptr) return 0;
    if (previous->type == 0) return previous->field3;
    return previous->type == 1 ? std::min(previous->field3 + 1, 65535l) : 1;
}

void FileLayout::endSection(long xrefPosition, const Entries& listed) {
    bytes_ += "startxref\n" + std::to_string(xrefPosition) + "\n%%EOF\n";
    for (const auto& [num, entry] : listed) state_[num] = entry;
    previousXref_ = xrefPosition;
}

PdfBuilder& PdfBuilder::junk(std::string bytes) {
    junk_ = std::move(bytes);
    return *this;
}

PdfBuilder& PdfBuilder::version(std::string v) {
    version_ = std::move(v);
    return *this;
}

PdfBuilder& PdfBuilder::object(int num, std::string body, int gen) {
    current().items.push_back({ItemKind::Object, num, gen, std::move(body), "", {}, 0});
    return *this;
}

PdfBuilder& PdfBuilder::stream(int num, std::string dictEntries, std::string data,
                               StreamOptions options, int gen) {
    current().items.push_back({ItemKind::Stream, num, gen, std::move(dictEntries), std::move(data),
                               std::move(options), 0});
    return *this;
}

PdfBuilder& PdfBuilder::compressed(int num, std::string body, int objStm) {
    current().items.push_back({ItemKind::Compressed, num, 0, std::move(body), "", {}, objStm});
    return *this;
}

PdfBuilder& PdfBuilder::section(SectionOptions options) {
    current().options = std::move(options);
    return *this;
}

PdfBuilder& PdfBuilder::update() {
    SectionOptions next;
    next.form = current().options.form;
    next.trailerExtra = current().options.trailerExtra;
    sections_.push_back({std::move(next), {}});
    return *this;
}

PdfBuilder& PdfBuilder::freeObject(int num) {
    current().items.push_back({ItemKind::Free, num, 0, "", "", {}, 0});
    return *this;
}

std::string PdfBuilder::build() const {
    return FileLayout(*this).bytes();
}

void PdfBuilder::writeTo(const std::string& path) const {
    const std::string bytes = build();
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) throw std::runtime_error("cannot write " + path);
}

long PdfBuilder::offsetOf(int num) const {
    return FileLayout(*this).offsetOf(num);
}

PdfBuilder simpleDocument(int pageCount, std::string extraCatalog) {
    PdfBuilder builder;
    builder.object(1, "<< /Type /Catalog /Pages 2 0 R" + withSpace(extraCatalog) + " >>");
    std::string kids;
    for (int page = 1; page <= pageCount; ++page) kids += (page > 1 ? " " : "") + pageRef(page);
    builder.object(
        2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pageCount) + " >>");
    for (int page = 1; page <= pageCount; ++page)
        builder.object(2 + page, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>");
    SectionOptions options;
    options.trailerExtra = "/Root 1 0 R";
    builder.section(options);
    return builder;
}

std::string pageRef(int page) {
    return std::to_string(2 + page) + " 0 R";
}

}  // namespace fixture
