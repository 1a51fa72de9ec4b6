#include <cstdio>

#include "app/application.h"
#include "app/file_handle.h"
#include "base/output_file.h"
#include "base/platform.h"
#include "base/text_format.h"
#include "bookmarks/bookmark_xml.h"
#include "bookmarks/collector.h"
#include "structure/document.h"
#include "structure/page_table.h"

bool CFolivants::WouldOverwriteInput(const std::string& outputPath) const {
    const bool readsXml = mode != modeExport;
    return platform::SameFile(outputPath, inputName) ||
           (readsXml && platform::SameFile(outputPath, xmlName));
}

CPdfException OverwriteRefusal(const std::string& outputPath) {
    return CPdfException(
        Format("\nOutput file would overwrite an input file: '%s'\n", outputPath.c_str()));
}

void CFolivants::OpenInput(FileHandle& inputFile) const {
    const bool opened = inputFile.open(inputName, "rb");
    std::printf("Input file: '%s'", inputName.c_str());
    if (!opened) throw CPdfException("Input file open error\n");
}

void CFolivants::ExportBookmarks() {
    FileHandle inputFile;
    OutputFile xmlFile;
    Document document;
    OpenInput(inputFile);
    document.open(inputName);
    const PageTable pages = PageTable::Build(document.catalog());

    // Never truncate the file being read.
    bool refused = WouldOverwriteInput(xmlName);
    const bool xmlCreated = !refused && xmlFile.create(xmlName);
    std::printf(", XML output file: '%s'\n", xmlName.c_str());
    ReportRepairs(document);
    if (refused) throw OverwriteRefusal(xmlName);
    if (!xmlCreated) throw CPdfException("XML file open error\n");
    // A PDF without an outline gets a bookmark file without records, so that
    // the file of that name always belongs to the PDF just read.
    const Outline& outline = document.outline();
    std::vector<BookmarkRecord> records;
    if (outline.items)
        records = CollectBookmarks(*outline.items, document.catalog(), pages, counter_);
    WriteBookmarkXml(records, [&xmlFile](const std::string& piece) {
        std::fwrite(piece.data(), 1, piece.size(), xmlFile.get());
    });
    // A full disk must not end in "Done." over a cut-off file.
    if (!xmlFile.commit()) throw CPdfException("XML file write error\n");
}

void CFolivants::ReportRepairs(const Document& document) const {
    if (document.xref().wasRebuilt()) std::printf("Warning: damaged cross-reference rebuilt\n");
}
