// Bookmark XML bytes through the reader and the writer of an add job on a
// small fixed PDF.
#include <cstdint>
#include <cstdio>
#include <sstream>

#include "base/exception.h"
#include "bookmarks/bookmark_xml.h"
#include "structure/document.h"
#include "structure/page_table.h"
#include "support/fixture.h"
#include "temp_folder.h"
#include "writer/pdf_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string bytes = fixture::BuildPdf(fixture::Pages(2));
    static const std::string pdf =
        WriteTemp("fixed.pdf", reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    std::istringstream xml(std::string(reinterpret_cast<const char*>(data), size));
    std::FILE* input = std::fopen(pdf.c_str(), "rb");
    std::FILE* output = std::fopen("/dev/null", "wb");
    try {
        const std::vector<BookmarkRecord> records = ReadBookmarks(xml, size % 2 == 0);
        CPdfDocument document;
        document.open(pdf);
        const RawObjects raw(input, *document.getXRef());
        const PageTable pages = PageTable::Build(raw, *document.getCatalog(), 1);
        PdfWriter(output, raw, pages).writeWithOutline(records);
    } catch (const CPdfException&) {
    }
    std::fclose(output);
    std::fclose(input);
    return 0;
}
