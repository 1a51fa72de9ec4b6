#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "bookmarks/bookmarks.h"

namespace {

using namespace std::string_literals;

// The bytes that write puts into a temporary file.
template <typename Write>
std::string Written(Write write) {
    std::FILE* file = std::tmpfile();
    if (file == nullptr) {
        ADD_FAILURE() << "cannot create a temporary file";
        return {};
    }
    write(file);
    std::rewind(file);
    std::string bytes;
    char buffer[512];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, count);
    std::fclose(file);
    return bytes;
}

std::string Block(const BookmarkRecord& record) {
    return Written([&](std::FILE* file) { WriteBookmarkBlock(file, record); });
}

ActionRecord Action(int32_t type, int32_t page, const std::string& destination,
                    const std::string& fileName = "", bool newWindow = false) {
    ActionRecord action;
    action.type = type;
    action.page = page;
    action.destination = destination;
    action.fileName = fileName;
    action.newWindow = newWindow;
    return action;
}

// One action of each type, go-tos with and without coordinates.
std::vector<ActionRecord> SampleActions() {
    ActionRecord full = Action(actionRecordGoTo, 3, "XYZ");
    full.zoom = 150;
    full.top = 0.5f;  // not 0, so written, as 0
    full.left = -10.7f;
    full.right = 612.9f;
    full.newWindow = true;  // only a go-to in another document writes it
    ActionRecord remote = Action(actionRecordGoToR, 2, "Fit", "a&b<c>.pdf");
    remote.bottom = -1.9f;
    ActionRecord uri = Action(actionRecordURI, 0, "");
    uri.uri = "http://x/?a=1&amp;b=2";
    ActionRecord named = Action(actionRecordNamed, 0, "");
    named.actionName = "Next<Page>";
    return {full,
            Action(actionRecordGoTo, 0, ""),
            remote,
            Action(actionRecordGoToR, 0, "", "", true),
            Action(actionRecordLaunch, 0, "", "x", true),
            uri,
            named};
}

TEST(XmlWriterTest, ElementLinesAndPlainBlock) {
    EXPECT_EQ(Written([](std::FILE* file) {
                  WriteXmlElement(file, 3, "Uri", "a b");
                  WriteXmlIntElement(file, 2, "Level", -3);
                  WriteXmlElement(file, 0, "X", "");
              }),
              "\t\t\t<Uri>a b</Uri>\r\n\t\t<Level>-3</Level>\r\n<X></X>\r\n");

    BookmarkRecord record;
    record.item = 12;
    record.level = 2;
    record.name = "A&amp;B &obr;x&cbr;";  // already in its escaped form: written as is
    record.style = "BoldItalic";
    EXPECT_EQ(Block(record),
              "\t<Bookmark>\r\n\t\t<Item>12</Item>\r\n\t\t<Level>2</Level>\r\n"
              "\t\t<Name>A&amp;B &obr;x&cbr;</Name>\r\n\t\t<Color>000000</Color>\r\n"
              "\t\t<Style>BoldItalic</Style>\r\n\t</Bookmark>\r\n");
    const std::pair<uint32_t, std::string> colors[] = {
        {0xFF, "0000FF"}, {0x1A2B3C, "1A2B3C"}, {0x1234567, "1234567"}};
    for (const auto& [color, text] : colors) {
        record.color = color;
        EXPECT_NE(Block(record).find("\t\t<Color>" + text + "</Color>\r\n"), std::string::npos);
    }
}

TEST(XmlWriterTest, ActionBlocksByType) {
    BookmarkRecord record;
    record.actions = SampleActions();
    std::string bytes = Block(record);
    EXPECT_EQ(bytes.substr(std::min(bytes.size(), bytes.find("\t\t<Action>"))),
              "\t\t<Action>\r\n\t\t\t<Type>Go to a page in this document</Type>\r\n"
              "\t\t\t<Page>3</Page>\r\n\t\t\t<Zoom>150</Zoom>\r\n"
              "\t\t\t<Destination>XYZ</Destination>\r\n\t\t\t<Top>0</Top>\r\n"
              "\t\t\t<Left>-10</Left>\r\n\t\t\t<Right>612</Right>\r\n\t\t</Action>\r\n"
              "\t\t<Action>\r\n\t\t\t<Type>Go to a page in this document</Type>\r\n"
              "\t\t\t<Page>0</Page>\r\n\t\t\t<Destination></Destination>\r\n\t\t</Action>\r\n"
              "\t\t<Action>\r\n\t\t\t<Type>Go to a page in another document</Type>\r\n"
              "\t\t\t<Page>2</Page>\r\n\t\t\t<Destination>Fit</Destination>\r\n"
              "\t\t\t<Bottom>-1</Bottom>\r\n\t\t\t<Filename>a&amp;b&lt;c&gt;.pdf</Filename>\r\n"
              "\t\t\t<NewWindow>False</NewWindow>\r\n\t\t</Action>\r\n"
              "\t\t<Action>\r\n\t\t\t<Type>Go to a page in another document</Type>\r\n"
              "\t\t\t<Page>0</Page>\r\n\t\t\t<Destination></Destination>\r\n"
              "\t\t\t<Filename></Filename>\r\n\t\t\t<NewWindow>True</NewWindow>\r\n"
              "\t\t</Action>\r\n"
              "\t\t<Action>\r\n\t\t\t<Type>Open a file</Type>\r\n"
              "\t\t\t<Filename>x</Filename>\r\n\t\t</Action>\r\n"
              "\t\t<Action>\r\n\t\t\t<Type>Open weblink</Type>\r\n"
              "\t\t\t<Uri>http://x/?a=1&amp;amp;b=2</Uri>\r\n\t\t</Action>\r\n"
              "\t\t<Action>\r\n\t\t\t<Type>Execute a menu item</Type>\r\n"
              "\t\t\t<Actionname>Next&lt;Page&gt;</Actionname>\r\n\t\t</Action>\r\n"
              "\t</Bookmark>\r\n");
}

// Every field of an action as the file carries it: only go-to actions have a
// Destination line (an empty one reads back as FitH), only a go-to in another
// document a NewWindow line.
auto Fields(const ActionRecord& a, bool asRead) {
    bool goTo = a.type == actionRecordGoTo || a.type == actionRecordGoToR;
    bool fitH = !asRead && goTo && a.destination.empty();
    bool newWindow = a.newWindow && (asRead || a.type == actionRecordGoToR);
    return std::make_tuple(a.type, a.page, a.fileName, a.uri, a.actionName,
                           fitH ? "FitH" : a.destination, a.zoom, a.top, a.left, a.bottom, a.right,
                           newWindow);
}

TEST(XmlWriterTest, WrittenFileReadsBackIntoTheSameTree) {
    // Levels 0, 1, 2, 1, 0 in depth-first order, as the export writes them.
    std::vector<BookmarkRecord> written(5);
    const int levels[] = {0, 1, 2, 1, 0};
    for (size_t i = 0; i < written.size(); ++i) {
        written[i].item = static_cast<int32_t>(i + 1);
        written[i].level = levels[i];
        written[i].name = "T" + std::to_string(i);
    }
    written[0].name = "A&amp;B &obr;x&cbr; %25 &#x4E2D;";
    written[0].color = 0x1A2B3C;
    written[0].style = "BoldItalic";
    written[4].color = 0xFF;
    std::vector<ActionRecord> actions = SampleActions();
    actions[0].top = 700;  // whole numbers: the file keeps no fractions
    actions[0].left = -10;
    actions[0].right = 612;
    actions[2].bottom = -1;
    written[0].actions.assign(actions.begin(), actions.begin() + 4);
    written[2].actions.assign(actions.begin() + 4, actions.end());

    std::string file = "<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>\r\n<Bookmarks>\r\n";
    for (const BookmarkRecord& record : written) file += Block(record);
    std::istringstream input(file + "</Bookmarks>\r\n");
    std::vector<BookmarkRecord> read;
    BookmarkRecord carry;
    ReadBookmarks(input, 0, read, false, carry);

    ASSERT_EQ(read.size(), 2u);
    ASSERT_EQ(read[0].children.size(), 2u);
    ASSERT_EQ(read[0].children[0].children.size(), 1u);
    EXPECT_TRUE(read[0].children[1].children.empty() && read[1].children.empty());
    const BookmarkRecord* placed[] = {&read[0], &read[0].children[0],
                                      &read[0].children[0].children[0], &read[0].children[1],
                                      &read[1]};
    for (size_t i = 0; i < written.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(placed[i]->item, written[i].item);
        EXPECT_EQ(placed[i]->level, written[i].level);
        EXPECT_EQ(placed[i]->style, written[i].style);
        EXPECT_EQ(placed[i]->color, written[i].color);
        EXPECT_FALSE(placed[i]->insert);
        if (i > 0) {
            EXPECT_EQ(placed[i]->name, written[i].name);
        }
        ASSERT_EQ(placed[i]->actions.size(), written[i].actions.size());
        for (size_t k = 0; k < written[i].actions.size(); ++k) {
            EXPECT_EQ(Fields(placed[i]->actions[k], true), Fields(written[i].actions[k], false));
        }
    }
    EXPECT_EQ(read[0].name, "\xFE\xFF\0A\0&\0B\0 \0\\(\0x\0\\)\0 \0%\0 \x4E\x2D"s);
}

}  // namespace
