#include <cstdio>

#include "app/application.h"
#include "app/file_handle.h"
#include "base/output_file.h"
#include "base/platform.h"
#include "base/text_format.h"
#include "bookmarks/bookmark_xml.h"
#include "bookmarks/collector.h"
#include "bookmarks/merge.h"
#include "structure/document.h"
#include "structure/page_table.h"
#include "writer/pdf_writer.h"

void CFolivants::AddBookmarks() {
    WriteNewPdf(false);
}

void CFolivants::UpdateBookmarks() {
    WriteNewPdf(true);
}

void CFolivants::WriteNewPdf(bool update) {
    FileHandle inputFile;
    FileHandle xmlFile;
    OutputFile outputFile;
    CPdfDocument document;
    OpenInput(inputFile);
    // Opened only to prove early that the bookmark file can be read.
    const bool opened = xmlFile.open(xmlName, "rb");
    std::printf(", XML input file: '%s'", xmlName.c_str());
    if (!opened) throw CPdfException("XML file open error\n");
    document.open(inputName);

    std::printf(", output file: '%s'\n", outputName.c_str());
    ReportRepairs(document);
    if (WouldOverwriteInput(outputName)) throw OverwriteRefusal(outputName);

    const RawObjects input(inputFile.get(), *document.getXRef());
    const PageTable pages = PageTable::Build(*document.getCatalog());
    const std::optional<std::string> xmlText = platform::ReadWholeFile(xmlName);
    if (!xmlText) throw CPdfException("XML file open error\n");
    std::string warning;
    std::vector<BookmarkRecord> records = ReadBookmarks(*xmlText, update, &warning);
    std::printf("%s", warning.c_str());
    if (update) {
        const CPdfOutline& outline = *document.getOutline();
        if (!outline.items) throw CPdfException("No bookmarks in pdf, update impossible\n");
        std::vector<BookmarkRecord> existing =
            CollectBookmarks(*outline.items, *document.getCatalog(), pages, counter_);
        for (int32_t item : MergeBookmarks(existing, records)) {
            std::printf("Warning: no item %d in the outline; its record was not applied\n", item);
        }
        records = std::move(existing);
    }

    // Nothing is made before everything is read and checked.
    if (!outputFile.create(outputName)) {
        throw CPdfException(Format("\nOutput file create error: '%s'\n", outputName.c_str()));
    }
    PdfWriter writer(outputFile.get(), input, *document.getCatalog(), pages);
    writer.writeWithOutline(records);
    if (!outputFile.commit()) throw CPdfException("Output file write error\n");
    for (int32_t item : writer.itemsWithoutGoTo()) {
        std::printf("Warning: item %d has a go-to with no page; written without it\n", item);
    }
}
