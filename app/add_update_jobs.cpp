#include <cstdio>
#include <fstream>

#include "app/application.h"
#include "app/text_format.h"
#include "bookmarks/bookmarks.h"

void CFolivants::LoadBookmarkXml(bool forUpdate) {
    bookmarks.clear();
    std::ifstream input(xmlName, std::ios::binary);
    BookmarkRecord carry;
    ReadBookmarks(input, 0, bookmarks, forUpdate, carry);
}

void CFolivants::AddBookmarks() {
    WriteNewPdf(false);
}

void CFolivants::UpdateBookmarks() {
    WriteNewPdf(true);
}

void CFolivants::WriteNewPdf(bool update) {
    bool outputCreated = false;
    try {
        bool opened = inputFile.open(inputName, "rb");
        std::printf("Input file: '%s'", inputName.c_str());
        if (!opened) throw CPdfException("Input file open error\n");
        opened = xmlFile.open(xmlName, "rb");
        std::printf(", XML input file: '%s'", xmlName.c_str());
        if (!opened) throw CPdfException("XML file open error\n");
        OpenDocument();

        const size_t inputSize = xrefEntries->size();
        objectTable.assign(inputSize, OutputObjectEntry());
        bool refused = WouldOverwriteInput(outputName);
        if (!refused) outputCreated = outputFile.open(outputName, "wb");
        std::printf(", output file: '%s'\n", outputName.c_str());
        if (refused) throw OverwriteRefusal(outputName);
        if (!outputCreated) {
            throw CPdfException(Format("\nOutput file create error: '%s'\n", outputName.c_str()));
        }
        BuildPageTable();
        LoadBookmarkXml(update);
        if (update) {
            const CPdfOutline* outline = document.getOutline();
            if (!outline->items) throw CPdfException("No bookmarks in pdf, update impossible\n");
            CollectBookmarks(*outline->items, existingBookmarks, 0, false);
        }

        CopyHeader();
        for (OutputObjectEntry& entry : objectTable) entry = OutputObjectEntry();
        if (update) MergeBookmarks(bookmarks);
        CopyObjects();

        const auto root = static_cast<uint32_t>(inputSize);
        objectTable.emplace_back();
        const std::vector<BookmarkRecord>& records = update ? existingBookmarks : bookmarks;
        uint32_t last = WriteOutlineItems(records, root);
        WriteOutlineRoot(root, root + 1, last, static_cast<uint32_t>(records.size()));
        WriteCatalog(root);

        uint32_t xrefPosition = OutputPosition();
        WriteXrefTable();
        WriteTrailer(xrefPosition);

        inputFile.close();
        xmlFile.close();
        bool written = std::ferror(outputFile.get()) == 0;
        if (!outputFile.close() || !written) throw CPdfException("Output file write error\n");
        document.close();
    } catch (...) {
        inputFile.close();
        xmlFile.close();
        outputFile.close();
        if (outputCreated) std::remove(outputName.c_str());
        document.close();
        throw;
    }
}
