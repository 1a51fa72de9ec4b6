// The fuzz targets, one per build of this file (FOLIVANT_FUZZ_TARGET):
//   0 export  PDF bytes through the reader, the export collector and the XML writer
//   1 xml     bookmark XML bytes through the reader and the writer of an add job
//             on a small fixed PDF
//   2 jobs    PDF bytes through the add and the update jobs with a fixed bookmark file
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "app/application.h"
#include "base/error.h"
#include "bookmarks/bookmark_xml.h"
#include "bookmarks/collector.h"
#include "structure/document.h"
#include "structure/page_table.h"
#include "support/fixture.h"
#include "writer/pdf_writer.h"

namespace {

// Writes the bytes to a file of this process's own folder; returns its path.
std::string WriteTemp(const std::string& name, const std::string& bytes) {
    static const std::string folder = [] {
        char pattern[] = "/tmp/folivant-fuzz-XXXXXX";
        return std::string(::mkdtemp(pattern) ? pattern : "/tmp");
    }();
    const std::string path = folder + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    return path;
}

// Opens the PDF and writes its outline as XML, or the XML's records as its new outline.
void ExportOrAdd(const std::string& pdf, const std::string* xml, bool update) {
    std::FILE* output = std::fopen("/dev/null", "wb");
    try {
        Document document;
        Warnings warnings;
        document.open(pdf, warnings);
        const pdf::RawObjects raw(document.xref());
        const Catalog& catalog = document.catalog();
        const PageTable pages = PageTable::Build(catalog);
        ItemCounter counter;
        if (xml != nullptr) {
            PdfWriter(output, raw, catalog, pages, OutlineObjectNumbers(document.xref()), warnings)
                .writeWithOutline(ReadBookmarks(*xml, update));
        } else if (const OutlineItemList* items = document.outline().items.get()) {
            const std::string text = BookmarkXml(CollectBookmarks(*items, catalog, pages, counter));
            std::fwrite(text.data(), 1, text.size(), output);
        }
    } catch (const Error&) {
    }
    std::fclose(output);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    switch (FOLIVANT_FUZZ_TARGET) {
        case 0:
            ExportOrAdd(WriteTemp("in.pdf", bytes), nullptr, false);
            break;
        case 1: {
            static const std::string pdf =
                WriteTemp("fixed.pdf", fixture::BuildPdf(fixture::Pages(2)));
            ExportOrAdd(pdf, &bytes, size % 2 == 0);
            break;
        }
        default: {
            static const std::string xml = WriteTemp(
                "fixed.xml",
                "<Bookmarks>\n<Bookmark>\n<Item>1</Item>\n<Action>\n<Type>Go to a page in this "
                "document</Type>\n<Page>1</Page>\n</Action>\n</Bookmark>\n<Bookmark>\n<Item>1</"
                "Item>\n"
                "<Insert>True</Insert>\n<Level>1</Level>\n</Bookmark>\n</Bookmarks>\n");
            const std::string input = "-i" + WriteTemp("in.pdf", bytes);
            const std::string output = "-o" + xml.substr(0, xml.rfind('/')) + "/out.pdf";
            const std::string marks = "-x" + xml;
            const char* argv[] = {"folivant", input.c_str(), output.c_str(), marks.c_str(),
                                  "-update"};
            RunFolivant(4, argv);
            RunFolivant(5, argv);
        }
    }
    return 0;
}
