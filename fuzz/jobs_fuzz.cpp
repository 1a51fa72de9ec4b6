// PDF bytes through the add and the update jobs with a fixed bookmark file.
#include <cstdint>
#include <string>

#include "app/application.h"
#include "temp_folder.h"

namespace {

const char kXml[] =
    "<Bookmarks>\r\n<Bookmark>\r\n<Item>1</Item>\r\n<Name>One</Name>\r\n<Action>\r\n"
    "<Type>Go to a page in this document</Type>\r\n<Page>1</Page>\r\n</Action>\r\n"
    "</Bookmark>\r\n<Bookmark>\r\n<Item>2</Item>\r\n<Insert>True</Insert>\r\n"
    "<Level>1</Level>\r\n<Name>Two</Name>\r\n</Bookmark>\r\n</Bookmarks>\r\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string xml =
        WriteTemp("fixed.xml", reinterpret_cast<const uint8_t*>(kXml), sizeof kXml - 1);
    const std::string input = "-i" + WriteTemp("in.pdf", data, size);
    const std::string output = "-o" + TempFolder() + "/out.pdf";
    const std::string bookmarks = "-x" + xml;
    for (bool update : {false, true}) {
        const char* argv[] = {"folivant", input.c_str(), output.c_str(), bookmarks.c_str(),
                              "-update"};
        RunFolivant(update ? 5 : 4, argv);
    }
    return 0;
}
