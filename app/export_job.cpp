#include <cstdio>

#include "app/application.h"
#include "base/output_file.h"
#include "base/platform.h"
#include "base/text_format.h"
#include "bookmarks/bookmark_xml.h"
#include "bookmarks/collector.h"
#include "pdf/file_reader.h"
#include "structure/document.h"
#include "structure/page_table.h"

bool Job::wouldOverwriteInput(const std::string& outputPath) const {
    const bool readsXml = spec_.kind != JobSpec::Kind::Export;
    return platform::SameFile(outputPath, spec_.input) ||
           (readsXml && platform::SameFile(outputPath, spec_.xml));
}

Error OverwriteRefusal(const std::string& outputPath) {
    return Error(Format("Output file would overwrite an input file: '%s'\n", outputPath.c_str()));
}

Error CreateRefusal(const std::string& outputPath, const std::string& problem) {
    return Error(
        Format("Output file create error: '%s': %s\n", outputPath.c_str(), problem.c_str()));
}

std::shared_ptr<pdf::FileReader> Job::openInput() {
    std::shared_ptr<pdf::FileReader> file = pdf::FileReader::Open(spec_.input);
    report_.names(Format("Input file: '%s'", spec_.input.c_str()));
    if (file == nullptr) throw Error("Input file open error\n");
    return file;
}

void Job::exportBookmarks() {
    OutputFile xmlFile;
    Document document;
    document.open(openInput(), warnings_, spec_.password);
    const PageTable pages = PageTable::Build(document.catalog());

    const std::string& xmlName = spec_.xml;
    report_.names(Format(", XML output file: '%s'", xmlName.c_str()));
    reportWarnings();
    // Never truncate the file being read.
    if (wouldOverwriteInput(xmlName)) throw OverwriteRefusal(xmlName);
    if (!xmlFile.create(xmlName)) throw CreateRefusal(xmlName, xmlFile.problem());
    // A PDF without an outline gets a bookmark file without records, so that
    // the file of that name always belongs to the PDF just read.
    const Outline& outline = document.outline();
    BookmarkXmlWriter writer([&xmlFile](const std::string& piece) {
        std::fwrite(piece.data(), 1, piece.size(), xmlFile.get());
        xmlFile.wrote(piece.size());
    });
    if (outline.items) {
        VisitBookmarks(*outline.items, document.catalog(), pages, counter_, &warnings_,
                       [&writer](const BookmarkRecord& record) { writer.add(record); });
    }
    writer.finish();
    // A full disk must not end in "Done." over a cut-off file.
    if (!xmlFile.commit()) {
        throw Error(
            Format("XML file write error: '%s': %s\n", xmlName.c_str(), xmlFile.problem().c_str()));
    }
}

void Job::reportWarnings() {
    for (const std::string& line : warnings_.takeNew()) report_.message(line);
}
