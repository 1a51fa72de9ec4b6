#include <cstdio>

#include "app/application.h"
#include "base/output_file.h"
#include "base/platform.h"
#include "base/text_format.h"
#include "bookmarks/bookmark_xml.h"
#include "bookmarks/collector.h"
#include "bookmarks/merge.h"
#include "structure/document.h"
#include "structure/page_table.h"
#include "writer/pdf_writer.h"

void Job::writeNewPdf() {
    const bool update = spec_.kind == JobSpec::Kind::Update;
    OutputFile outputFile;
    Document document;
    std::shared_ptr<pdf::FileReader> inputFile = openInput();
    // Read whole at once: the bookmark file is opened once, and early, to
    // prove it can be read.
    std::optional<std::string> xmlText = platform::ReadWholeFile(spec_.xml);
    report_.names(Format(", XML input file: '%s'", spec_.xml.c_str()));
    if (!xmlText) throw Error("XML file open error\n");
    document.open(std::move(inputFile), warnings_, spec_.password);

    const std::string& outputName = spec_.output;
    report_.names(Format(", output file: '%s'", outputName.c_str()));
    reportWarnings();
    if (wouldOverwriteInput(outputName)) throw OverwriteRefusal(outputName);

    const pdf::RawObjects input(document.xref());
    const PageTable pages = PageTable::Build(document.catalog());
    std::vector<BookmarkRecord> records = ReadBookmarks(*xmlText, update, &warnings_);
    // The records hold all the file said; its text would only weigh on the
    // merge and the writing, a job's largest moments.
    xmlText.reset();
    reportWarnings();
    if (update) {
        const Outline& outline = document.outline();
        if (!outline.items) throw Error("No bookmarks in pdf, update impossible\n");
        std::vector<BookmarkRecord> existing =
            CollectBookmarks(*outline.items, document.catalog(), pages, counter_, &warnings_);
        MergeBookmarks(existing, std::move(records), warnings_);
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
}
