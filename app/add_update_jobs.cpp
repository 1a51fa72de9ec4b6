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
    Document document;
    OpenInput(inputFile);
    // Opened only to prove early that the bookmark file can be read.
    const bool opened = xmlFile.open(xmlName, "rb");
    report_.names(Format(", XML input file: '%s'", xmlName.c_str()));
    if (!opened) throw Error("XML file open error\n");
    document.open(inputName, warnings_);

    report_.names(Format(", output file: '%s'", outputName.c_str()));
    reportWarnings();
    if (WouldOverwriteInput(outputName)) throw OverwriteRefusal(outputName);

    const pdf::RawObjects input(document.xref());
    const PageTable pages = PageTable::Build(document.catalog());
    const std::optional<std::string> xmlText = platform::ReadWholeFile(xmlName);
    if (!xmlText) throw Error("XML file open error\n");
    std::vector<BookmarkRecord> records = ReadBookmarks(*xmlText, update, &warnings_);
    reportWarnings();
    if (update) {
        const Outline& outline = document.outline();
        if (!outline.items) throw Error("No bookmarks in pdf, update impossible\n");
        std::vector<BookmarkRecord> existing =
            CollectBookmarks(*outline.items, document.catalog(), pages, counter_);
        MergeBookmarks(existing, records, warnings_);
        reportWarnings();
        records = std::move(existing);
    }

    // Nothing is made before everything is read and checked.
    if (!outputFile.create(outputName)) throw CreateRefusal(outputName, outputFile.problem());
    PdfWriter writer(outputFile.get(), input, document.catalog(), pages,
                     OutlineObjectNumbers(document.xref()), warnings_);
    try {
        writer.writeWithOutline(records);
    } catch (const Error&) {
        // A write that failed stops the writer: the commit below says which
        // file and why.
        if (std::ferror(outputFile.get()) == 0) throw;
    }
    if (!outputFile.commit()) {
        throw Error(Format("Output file write error: '%s': %s\n", outputName.c_str(),
                           outputFile.problem().c_str()));
    }
    reportWarnings();
}
