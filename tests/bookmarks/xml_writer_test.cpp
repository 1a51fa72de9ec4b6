#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "bookmarks/bookmarks.h"

namespace {

// The bytes that write puts into a temporary file.
template <typename Write>
std::string Written(Write write) {
    std::FILE* file = std::tmpfile();
    write(file);
    std::rewind(file);
    std::string bytes;
    char buffer[512];
    for (size_t count; (count = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        bytes.append(buffer, count);
    }
    std::fclose(file);
    return bytes;
}

std::string Block(const BookmarkRecord& record) {
    return Written([&](std::FILE* file) { WriteBookmarkBlock(file, record); });
}

TEST(XmlWriterTest, ElementLinesColoursAndNames) {
    EXPECT_EQ(Written([](std::FILE* file) {
                  WriteXmlElement(file, 3, "Uri", "a b");
                  WriteXmlIntElement(file, 2, "Level", -3);
              }),
              "\t\t\t<Uri>a b</Uri>\r\n\t\t<Level>-3</Level>\r\n");

    BookmarkRecord record;
    record.item = 12;
    record.level = 2;
    record.name = "A&amp;B &obr;x&cbr;";  // already in its escaped form: written as is
    record.style = "BoldItalic";
    EXPECT_EQ(Block(record),
              "\t<Bookmark>\r\n\t\t<Item>12</Item>\r\n\t\t<Level>2</Level>\r\n"
              "\t\t<Name>A&amp;B &obr;x&cbr;</Name>\r\n\t\t<Color>000000</Color>\r\n"
              "\t\t<Style>BoldItalic</Style>\r\n\t</Bookmark>\r\n");
    record.color = 0xFF;
    EXPECT_NE(Block(record).find("<Color>0000FF</Color>"), std::string::npos);
}

TEST(XmlWriterTest, CoordinatesAreTruncatedAndLeftOutWhenZero) {
    BookmarkRecord record;
    ActionRecord goTo;
    goTo.type = actionRecordGoTo;
    goTo.page = 3;
    goTo.destination = "XYZ";
    goTo.zoom = 150;
    goTo.top = 0.5f;  // not 0, so written, as 0
    goTo.left = -10.7f;
    goTo.newWindow = true;  // only a go-to in another document writes it
    ActionRecord launch;
    launch.type = actionRecordLaunch;
    launch.fileName = "a&b<c>.exe";
    launch.newWindow = true;
    record.actions = {goTo, launch};
    const std::string bytes = Block(record);
    EXPECT_EQ(bytes.substr(bytes.find("\t\t<Action>")),
              "\t\t<Action>\r\n\t\t\t<Type>Go to a page in this document</Type>\r\n"
              "\t\t\t<Page>3</Page>\r\n\t\t\t<Zoom>150</Zoom>\r\n"
              "\t\t\t<Destination>XYZ</Destination>\r\n\t\t\t<Top>0</Top>\r\n"
              "\t\t\t<Left>-10</Left>\r\n\t\t</Action>\r\n"
              "\t\t<Action>\r\n\t\t\t<Type>Open a file</Type>\r\n"
              "\t\t\t<Filename>a&amp;b&lt;c&gt;.exe</Filename>\r\n\t\t</Action>\r\n"
              "\t</Bookmark>\r\n");
}

}  // namespace
