#pragma once

#include <string>
#include <vector>

// Builds PDF files byte for byte from a short description, so that every test
// can make exactly the file it needs, well-formed or deliberately broken.
//
// Offsets written into the file (xref entries, startxref, /Prev, /XRefStm)
// count from the "%PDF-" header, so they stay right when junk() precedes it.
// Numbers the builder picks itself (cross-reference streams)
// start above the highest number given anywhere in the builder and are handed
// out in file order.
namespace fixture {

struct StreamOptions {
    bool flate = false;  // compress the data with FlateDecode
};

enum class XrefForm { Table, Stream };

struct SectionOptions {
    XrefForm form = XrefForm::Table;
    // Stream form:
    int widths[3] = {1, 4, 2};  // /W; a type width of 0 means every listed entry is type 1, so
                                // build() throws std::logic_error if one is not (as object 0
                                // is in a first section without writeIndex)
    bool writeIndex = false;    // list only this section's objects under /Index; otherwise list
                                // 0..Size-1 complete, repeating older entries and filling gaps
                                // with free ones
    bool compress = true;       // Flate-compress the xref stream
    // Both forms:
    bool prevAsReference = false;  // /Prev as "N 0 R" instead of the integer N
    std::string trailerExtra;      // extra trailer entries verbatim, e.g. "/Root 1 0 R"
    bool hybrid = false;  // Table form only: compressed objects go into an extra xref stream that
                          // the trailer names with /XRefStm instead of into the table
};

class PdfBuilder {
public:
    // Bytes written before "%PDF-".
    PdfBuilder& junk(std::string bytes);
    // Header "%PDF-<v>" (default "1.7"), followed by a binary comment line.
    PdfBuilder& version(std::string v);
    // "<num> <gen> obj\n<body>\nendobj\n" in the current section.
    PdfBuilder& object(int num, std::string body, int gen = 0);
    // "<num> <gen> obj\n<< dictEntries /Length n ... >>\nstream\n<data>\nendstream\nendobj\n";
    // dictEntries holds everything but /Length, /Filter and /DecodeParms.
    PdfBuilder& stream(int num, std::string dictEntries, std::string data,
                       StreamOptions options = {}, int gen = 0);
    // An object held in object stream objStm, which the builder writes at the end of the
    // current section. build() throws std::logic_error when the section's xref cannot list it
    // (Table form without hybrid).
    PdfBuilder& compressed(int num, std::string body, int objStm);
    // Options of the current section. They replace the current ones whole, so to change one
    // field of, say, simpleDocument()'s section, start from currentOptions().
    PdfBuilder& section(SectionOptions options);
    const SectionOptions& currentOptions() const { return sections_.back().options; }
    // Starts an incremental update whose xref points back at the previous one with /Prev.
    // It keeps the previous section's form and trailerExtra until section() is called.
    PdfBuilder& update();
    // Lists num as free in the current section, e.g. an update that deletes an object.
    PdfBuilder& freeObject(int num);

    std::string build() const;
    // Writes build() to path; throws std::runtime_error on failure.
    void writeTo(const std::string& path) const;
    // Position in build() of the "num gen obj" line of num's newest definition, counted from
    // the start of the output (junk included); -1 if there is none or that definition is
    // held in an object stream.
    long offsetOf(int num) const;

private:
    enum class ItemKind { Object, Stream, Compressed, Free };
    struct Item {
        ItemKind kind;
        int num;
        int gen;
        std::string body;  // object body, stream dictEntries or compressed body
        std::string data;  // stream data
        StreamOptions streamOptions;
        int objStm;
    };
    struct Section {
        SectionOptions options;
        std::vector<Item> items;
    };
    friend class FileLayout;

    Section& current() { return sections_.back(); }

    std::string junk_;
    std::string version_ = "1.7";
    std::vector<Section> sections_ = std::vector<Section>(1);
};

// An ordinary document: 1 = catalog << /Type /Catalog /Pages 2 0 R extraCatalog >>,
// 2 = pages root, 3.. = the pages (612 x 792), trailer "/Root 1 0 R".
PdfBuilder simpleDocument(int pageCount, std::string extraCatalog = "");
// "3 0 R" for page 1 of simpleDocument, "4 0 R" for page 2, ...
std::string pageRef(int page);

}  // namespace fixture
