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

namespace {

// "item 2", "items 2 and 4", "items 2, 4 and 5".
std::string ItemList(const std::vector<int32_t>& items) {
    std::string list = items.size() == 1 ? "item " : "items ";
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) list += i + 1 == items.size() ? " and " : ", ";
        list += std::to_string(items[i]);
    }
    return list;
}

}  // namespace

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
    document.open(inputName);

    report_.names(Format(", output file: '%s'", outputName.c_str()));
    ReportRepairs(document);
    if (WouldOverwriteInput(outputName)) throw OverwriteRefusal(outputName);

    const pdf::RawObjects input(document.xref());
    const PageTable pages = PageTable::Build(document.catalog());
    const std::optional<std::string> xmlText = platform::ReadWholeFile(xmlName);
    if (!xmlText) throw Error("XML file open error\n");
    std::string warning;
    std::vector<BookmarkRecord> records = ReadBookmarks(*xmlText, update, &warning);
    report_.messages(warning);
    if (update) {
        const Outline& outline = document.outline();
        if (!outline.items) throw Error("No bookmarks in pdf, update impossible\n");
        std::vector<BookmarkRecord> existing =
            CollectBookmarks(*outline.items, document.catalog(), pages, counter_);
        for (const EditReport& edit : MergeBookmarks(existing, records)) {
            if (!edit.matched) {
                report_.message(Format(
                    "Warning: no item %d in the outline; its record was not applied", edit.item));
            } else {
                report_.message(Format(
                    "Warning: the record of item %d removes %s, which the bookmark file does not "
                    "hold",
                    edit.item, ItemList(edit.removed).c_str()));
            }
        }
        records = std::move(existing);
    }

    // Nothing is made before everything is read and checked.
    if (!outputFile.create(outputName)) throw CreateRefusal(outputName, outputFile.problem());
    PdfWriter writer(outputFile.get(), input, document.catalog(), pages,
                     OutlineObjectNumbers(document.xref()));
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
    for (int32_t item : writer.itemsWithoutGoTo()) {
        report_.message(
            Format("Warning: item %d has a go-to with no page; written without it", item));
    }
}
