#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/warnings.h"
#include "bookmarks/record.h"
#include "pdf/raw_object.h"
#include "structure/catalog.h"
#include "structure/page_table.h"

// Writes a new PDF from an opened input: the input's header line and every
// object it has in use, in the form it has it, the outline items and their
// extra action objects, the outline root, the catalog pointing at it, a
// cross-reference section and the trailer.
//
// An input with object streams keeps them as they stand and gets a
// cross-reference stream; any other input gets a classic table. The old
// outline's objects are left out unless something else refers to them. New
// objects take numbers no input object has and no input reference names, so
// a reference the input leaves dangling stays so.
//
// The writer owns what it puts in the output: the table of output objects
// and the position it writes at. The job owns the output file itself, and
// removes it when anything fails.
class PdfWriter {
public:
    // oldOutline: the object numbers of the input's outline (its root and
    // items). What the user should hear of goes to warnings.
    PdfWriter(std::FILE* output, const pdf::RawObjects& input, const Catalog& catalog,
              const PageTable& pages, const std::vector<uint32_t>& oldOutline, Warnings& warnings);
    PdfWriter(const PdfWriter&) = delete;
    PdfWriter& operator=(const PdfWriter&) = delete;

    // The whole file, with an outline made of records. Throws Error
    // (a go-to to a page the input does not have, a catalog that cannot be
    // read, an encrypted input whose key could not be carried over).
    void writeWithOutline(const std::vector<BookmarkRecord>& records);

    // The largest offset a cross-reference table line can hold: ten digits.
    static constexpr uint64_t kMaxOffset = 9999999999;

private:
    // Where an object of the output stands. A held object is one of an
    // object stream: offset names the stream, index its place there.
    struct ObjectEntry {
        enum class Kind : uint8_t { Free, Stored, Held };
        Kind kind = Kind::Free;
        uint64_t offset = 0;
        uint32_t generation = 0;  // or, for a held object, its index
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
    // A list of sibling items as written: the object number of the last one
    // (0 for none), and how many items an open parent of theirs shows.
    struct ItemList {
        uint32_t last = 0;
        uint32_t visible = 0;
    };
    // An object of the old outline that stands in the file, copied only when
    // something refers to it.
    struct HeldBack {
        uint32_t number;
        pdf::RawObjects::Span span;
        std::vector<uint32_t> references;
    };

    // The steps, in the order writeWithOutline takes them.
    void checkIdentifierCarries() const;
    void copyHeader();
    void copyObjects();
    void copyStoredObject(uint32_t number);
    void keepHeldObject(uint32_t number, const pdf::XRefEntry& entry);
    void numberNewObjects(const std::vector<BookmarkRecord>& records);
    ItemList writeOutlineItems(const std::vector<BookmarkRecord>& records, uint32_t parent);
    void writeOutlineRoot(uint32_t number, uint32_t first, uint32_t last, uint32_t count);
    void writeCatalog(uint32_t outlinesNumber);
    void writeOldOutlineObjectsReferredTo();
    void raiseVersion();
    void writeXrefTable();
    void writeTrailer(uint64_t xrefPosition);
    void writeXrefStream();

    // The trailer's entries other than Size and Root, as "/Key value" lines.
    std::string trailerEntries() const;

    void writeOutlineItem(uint32_t number, const ItemLinks& links, const BookmarkRecord& record);
    // Writes every action after the first as an object of its own and returns
    // the first one's entry for the item.
    std::string writeActions(uint32_t number, const BookmarkRecord& record);
    // The item's own entries: those of the input item a record stands for as
    // they stand, but for the parts the record changes, which are written anew.
    std::string itemEntries(uint32_t number, const BookmarkRecord& record);
    enum class Part { Title, Style, Color, Actions };
    std::string newPart(uint32_t number, const BookmarkRecord& record, Part part);
    std::string actionBody(const ActionRecord& action);
    std::string fileSpecification(const std::string& fileName);
    // Whether a go-to is written by its name: the document has a destination of that name.
    bool goesByName(const ActionRecord& action) const;

    // Appends an entry for a new object and returns its number.
    uint32_t newObject();
    // Writes the text of object number (its entry must exist) and records
    // where it stands and with which generation it is listed.
    void writeObject(uint32_t number, const std::string& text, uint32_t generation = 0);
    // Copies an input object that stands in the file, a piece at a time.
    void copySpan(uint32_t number, const pdf::RawObjects::Span& span);
    // Notes what the text of a written object refers to.
    void noteReferences(std::string_view text);
    void noteReference(uint32_t number);
    // Notes only the numbers the input does not have.
    void noteNumbersBeyondTable(std::string_view text);
    // The output needs at least this version of PDF (major * 10 + minor).
    void requireVersion(int version) { requiredVersion_ = std::max(requiredVersion_, version); }

    // Text the writer makes for object number, with its strings encrypted
    // when the input is.
    std::string sealed(uint32_t number, const std::string& fragment) const;
    // Text of input object from for object to: its strings' key changes.
    std::string rekeyed(const std::string& fragment, uint32_t from, uint32_t to) const;
    static void checkOffset(uint64_t offset);
    void write(const std::string& text);
    uint64_t position() const { return position_; }
    // Counts what went out; every megabyte, asks the system to start writing it.
    void advance(uint64_t bytes);

    std::FILE* output_;
    const pdf::RawObjects& input_;
    const Catalog& catalog_;
    const PageTable& pages_;
    Warnings& warnings_;
    const uint32_t root_;
    // Whether the output keeps object streams and has a cross-reference stream.
    const bool streamForm_;
    std::vector<ObjectEntry> objects_;
    uint64_t position_ = 0;
    // Where the system was last asked to start writing the output to the
    // disk: every few megabytes, so that the final flush waits less.
    uint64_t writebackAt_ = 0;
    // Items written without a go-to of theirs that named no page (0), in the
    // order they were written: warned of once the file is whole.
    std::vector<int32_t> itemsWithoutGoTo_;

    std::vector<bool> inOldOutline_;  // by input object number
    std::vector<HeldBack> heldBack_;
    std::vector<bool> referenced_;              // by something written, by input object number
    std::vector<uint32_t> beyondTable_;         // numbers referred to that the input does not have
    bool referencesAllKnown_ = true;            // false when an object could not be read for them
    bool numbered_ = false;                     // new objects have their numbers
    std::vector<uint32_t> referencesOfObject_;  // kept to spare an allocation per object

    // The header's version, where its digits stand in the output, and the
    // version the output needs.
    int headerVersion_ = 0;
    uint64_t versionAt_ = 0;
    size_t versionLength_ = 0;
    int requiredVersion_ = 0;
};

// One cross-reference table line: ten-digit offset, five-digit generation,
// "n" or "f", a blank and a carriage return.
std::string XrefTableEntry(uint64_t offset, uint32_t generation, bool inUse);

// The colour entry of an outline item: "/C[ r g b ]" and a line feed.
std::string FormatColor(uint32_t color);

// The smallest number at or above first from which count numbers in a row
// are none of taken (sorted).
uint32_t FirstFreeRun(uint32_t first, uint32_t count, const std::vector<uint32_t>& taken);

// The cross-reference stream's rows, each as wide as widths say, with the
// PNG Up predictor applied: a tag byte 2 and each byte less the one above it.
std::string PredictedRows(const std::vector<std::array<uint64_t, 3>>& rows,
                          const std::array<int, 3>& widths);
