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

Error OverwriteRefusal(const std::string& outputPath) {
    return Error(Format("Output file would overwrite an input file: '%s'\n", outputPath.c_str()));
}

Error CreateRefusal(const std::string& outputPath, const std::string& problem) {
    return Error(
        Format("Output file create error: '%s': %s\n", outputPath.c_str(), problem.c_str()));
}

void CFolivants::OpenInput(FileHandle& inputFile) const {
    const bool opened = inputFile.open(inputName, "rb");
    report_.names(Format("Input file: '%s'", inputName.c_str()));
    if (!opened) throw Error("Input file open error\n");
}

void CFolivants::ExportBookmarks() {
    FileHandle inputFile;
    OutputFile xmlFile;
    Document document;
    OpenInput(inputFile);
    document.open(inputName, warnings_);
    const PageTable pages = PageTable::Build(document.catalog());

    report_.names(Format(", XML output file: '%s'", xmlName.c_str()));
    reportWarnings();
    // Never truncate the file being read.
    if (WouldOverwriteInput(xmlName)) throw OverwriteRefusal(xmlName);
    if (!xmlFile.create(xmlName)) throw CreateRefusal(xmlName, xmlFile.problem());
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
    if (!xmlFile.commit()) {
        throw Error(
            Format("XML file write error: '%s': %s\n", xmlName.c_str(), xmlFile.problem().c_str()));
    }
}

void CFolivants::reportWarnings() {
    for (const std::string& line : warnings_.takeNew()) report_.message(line);
}
