#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bookmarks/record.h"
#include "pdf/raw_object.h"
#include "structure/catalog.h"
#include "structure/page_table.h"

// Writes a new PDF from an opened input: the input's header and every object
// it has in use (the object streams and the catalog left out), the outline
// items and their extra action objects, the outline root, the catalog
// pointing at it, one cross-reference table and the trailer.
//
// The writer owns what it puts in the output: the table of output objects
// (where each stands, with which generation) and the position it writes at.
// The job owns the output file itself, and removes it when anything fails.
class PdfWriter {
public:
    PdfWriter(std::FILE* output, const pdf::RawObjects& input, const Catalog& catalog,
              const PageTable& pages);
    PdfWriter(const PdfWriter&) = delete;
    PdfWriter& operator=(const PdfWriter&) = delete;

    // The whole file, with an outline made of records. Throws CPdfException
    // (a go-to to a page the input does not have, a catalog that cannot be read).
    void writeWithOutline(const std::vector<BookmarkRecord>& records);

    // The items written without a go-to of theirs that named no page (0), in
    // the order they were written.
    const std::vector<int32_t>& itemsWithoutGoTo() const { return itemsWithoutGoTo_; }

    // The steps, in the order writeWithOutline takes them.
    void copyHeader();
    void copyObjects();
    // A list of sibling items as written: the object number of the last one
    // (0 for none), and how many items an open parent of theirs shows.
    struct ItemList {
        uint32_t last = 0;
        uint32_t visible = 0;
    };
    // Numbers and writes a list of sibling records with their descendants.
    ItemList writeOutlineItems(const std::vector<BookmarkRecord>& records, uint32_t parent);
    void writeOutlineRoot(uint32_t number, uint32_t first, uint32_t last, uint32_t count);
    void writeCatalog(uint32_t outlinesNumber);
    void writeXrefTable();
    void writeTrailer(uint64_t xrefPosition);

    // The largest offset a cross-reference table line can hold: ten digits.
    static constexpr uint64_t kMaxOffset = 9999999999;

private:
    // Where an object of the output stands, and whether it was written.
    struct ObjectEntry {
        uint64_t offset = 0;
        bool written = false;
        uint32_t generation = 0;
    };
    // The neighbours of one outline item object; 0 means none.
    struct ItemLinks {
        uint32_t next = 0;
        uint32_t prev = 0;
        uint32_t parent = 0;
        uint32_t first = 0;
        uint32_t last = 0;
        uint32_t descendants = 0;  // those it shows when open
    };

    void writeOutlineItem(uint32_t number, const ItemLinks& links, const BookmarkRecord& record);
    // Writes every action after the first as an object of its own and returns
    // the first one's entry for the item.
    std::string writeActions(uint32_t number, const BookmarkRecord& record);
    // The item's own entries: those of the input item a record stands for as
    // they stand, but for the parts the record changes, which are written anew.
    std::string itemEntries(uint32_t number, const BookmarkRecord& record);
    enum class Part { Title, Style, Color, Actions };
    std::string newPart(uint32_t number, const BookmarkRecord& record, Part part);
    std::string actionBody(const ActionRecord& action) const;
    // Whether a go-to is written by its name: the document has a destination of that name.
    bool goesByName(const ActionRecord& action) const;
    // Appends an entry for a new object and returns its number.
    uint32_t newObject();
    // Writes the text of object number (its entry must exist) and records
    // where it stands and with which generation it is listed.
    void writeObject(uint32_t number, const std::string& text, uint32_t generation = 0);
    // Text the writer makes for object number, with its strings encrypted
    // when the input is.
    std::string sealed(uint32_t number, const std::string& fragment) const;
    // Text of input object from for object to: its strings' key changes.
    std::string rekeyed(const std::string& fragment, uint32_t from, uint32_t to) const;
    // Copies an input object that stands in the file, a piece at a time.
    void copyObject(uint32_t number, const pdf::RawObjects::Span& span);
    static void checkOffset(uint64_t offset);
    void write(const std::string& text);
    uint64_t position() const;

    std::FILE* output_;
    const pdf::RawObjects& input_;
    const Catalog& catalog_;
    const PageTable& pages_;
    std::vector<ObjectEntry> objects_;
    uint64_t position_ = 0;
    std::vector<int32_t> itemsWithoutGoTo_;
};

// One cross-reference table line: ten-digit offset, five-digit generation,
// "n" or "f", a blank and a carriage return.
std::string FileIdentifier(const pdf::Dictionary& trailer, pdf::XRef& xref);
std::string XrefTableEntry(uint64_t offset, uint32_t generation, bool inUse);

// The colour entry of an outline item: "/C[ r g b ]" and a line feed.
std::string FormatColor(uint32_t color);
