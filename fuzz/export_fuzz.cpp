// PDF bytes through the reader, the export collector and the XML writer.
#include <cstdint>
#include <cstdio>

#include "base/exception.h"
#include "bookmarks/bookmark_xml.h"
#include "bookmarks/collector.h"
#include "structure/document.h"
#include "structure/page_table.h"
#include "temp_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = WriteTemp("in.pdf", data, size);
    std::FILE* input = std::fopen(path.c_str(), "rb");
    std::FILE* output = std::fopen("/dev/null", "wb");
    try {
        CPdfDocument document;
        document.open(path);
        const RawObjects raw(input, *document.getXRef());
        const PageTable pages = PageTable::Build(
            raw, *document.getCatalog(), static_cast<uint32_t>(document.getXRef()->rootNum));
        if (document.getOutline()->items) {
            ItemCounter counter;
            WriteBookmarkXml(output, CollectBookmarks(*document.getOutline()->items,
                                                      *document.getCatalog(), pages,
                                                      TitleForm::Xml, counter));
        }
    } catch (const CPdfException&) {
    }
    std::fclose(output);
    std::fclose(input);
    return 0;
}
