#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "app/exception.h"
#include "app/file_handle.h"
#include "bookmarks/record.h"
#include "pdf/document.h"
#include "pdf/xref.h"
#include "structure/outline.h"

// The refusal of an output path that names a file the job reads.
CPdfException OverwriteRefusal(const std::string& outputPath);

// The program's entry point: returns the process exit status.
int RunFolivant(int argc, const char* const* argv);
void PrintBanner();
void PrintUsage();
// The list form. Returns 0 when listName is not a list (".txt"), 1 when the
// list is refused, 2 when it has been run.
int RunFileList(const std::string& listName, const char* secondArgument, int argc,
                const char* const* argv);

// Where an object of the output file stands, and whether it was written.
struct OutputObjectEntry {
    uint32_t offset = 0;
    bool written = false;
    uint32_t generation = 0;
};

// The neighbours of one outline item object; 0 means none.
struct OutlineItemLinks {
    uint32_t next = 0;
    uint32_t prev = 0;
    uint32_t parent = 0;
    uint32_t first = 0;
    uint32_t last = 0;
};

// The application object of one job.
class CFolivants {
public:
    enum Mode : int32_t { modeExport = 0, modeAdd = 1, modeUpdate = 2 };

    CFolivants() = default;
    CFolivants(const CFolivants&) = delete;
    CFolivants& operator=(const CFolivants&) = delete;
    virtual ~CFolivants() = default;

    void ParseArguments(int argc, const char* const* argv);
    void Run(int argc, const char* const* argv);

    // The jobs.
    void ExportBookmarks();
    void AddBookmarks();
    void UpdateBookmarks();
    void OpenDocument();
    void LoadBookmarkXml(bool forUpdate);

    // Export collector and XML writer.
    void CollectBookmarks(const OutlineItemList& items, std::vector<BookmarkRecord>& target,
                          int level, bool writeXml);

    // Output file writer.
    void CopyHeader();
    void CopyObjects();
    void WriteXrefTable();
    void WriteTrailer(uint32_t xrefPosition);

    // Page table and outline item objects.
    void BuildPageTable();
    void WalkPageNode(const std::string& text);
    uint32_t PageNumberOfObject(uint32_t objectNumber) const;
    uint32_t WriteOutlineItems(const std::vector<BookmarkRecord>& records, uint32_t parentNumber);
    void WriteOutlineItem(uint32_t number, const OutlineItemLinks& links,
                          const BookmarkRecord& record);

    // Outline root, catalog and update merge.
    void MergeBookmarks(const std::vector<BookmarkRecord>& records);
    void MergeRecord(std::vector<BookmarkRecord>& existing, const BookmarkRecord& record);
    void WriteOutlineRoot(uint32_t number, uint32_t first, uint32_t last, uint32_t count);
    void WriteCatalog(uint32_t outlinesNumber);

    FileHandle inputFile;
    FileHandle outputFile;
    FileHandle xmlFile;
    std::string inputName;
    std::string outputName;
    std::string xmlName;
    const std::vector<XRefEntry>* xrefEntries = nullptr;
    CPdfDocument document;
    CPdfXRef* xref = nullptr;
    uint32_t infoObject = 0;
    uint32_t rootObject = 0;
    uint32_t infoGeneration = 0;
    uint32_t rootGeneration = 0;
    uint32_t pageCounter = 0;
    uint32_t pagesObject = 0;
    uint32_t pageCount = 0;
    int32_t mode = modeExport;
    std::vector<OutputObjectEntry> objectTable;
    std::vector<uint32_t> pageTable;
    std::vector<BookmarkRecord> bookmarks;
    std::vector<BookmarkRecord> existingBookmarks;

private:
    // Raw reads of the input file count offsets from its "%PDF-" header.
    void WriteNewPdf(bool update);
    uint32_t HeaderStart() const;
    uint32_t GenerationOf(uint32_t objectNumber) const;
    bool WouldOverwriteInput(const std::string& outputPath) const;
    void WriteOutput(const std::string& text);
    // Writes the text of object number (its entry must exist) and records
    // where it stands and with which generation it is listed.
    void WriteObject(uint32_t number, const std::string& text, uint32_t generation = 0);
    uint32_t OutputPosition() const;
    void WriteActions(const BookmarkRecord& record, std::string& itemText);
    std::string ActionBody(const ActionRecord& action) const;
    void WalkPageNode(const std::string& text, int depth);
    std::set<uint32_t> walkedNodes_;
};
