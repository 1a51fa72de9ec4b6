#include <gtest/gtest.h>

#include <initializer_list>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/exception.h"
#include "bookmarks/bookmarks.h"

namespace {

using namespace std::string_literals;

std::vector<BookmarkRecord> Read(const std::string& text, bool forUpdate = false) {
    std::istringstream input(text);
    std::vector<BookmarkRecord> records;
    BookmarkRecord carry;
    ReadBookmarks(input, 0, records, forUpdate, carry);
    return records;
}

// A Bookmark block with its Item and Level lines and any further lines.
std::string Block(int item, int level, const std::string& lines = "") {
    return "\t<Bookmark>\r\n\t\t<Item>" + std::to_string(item) + "</Item>\r\n\t\t<Level>" +
           std::to_string(level) + "</Level>\r\n" + lines + "\t</Bookmark>\r\n";
}

// Items of levels given in file order, one block each, numbered from 1.
std::string Blocks(std::initializer_list<int> levels) {
    std::string text = "<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>\r\n<Bookmarks>\r\n";
    int item = 0;
    for (int level : levels) text += Block(++item, level);
    return text + "</Bookmarks>\r\n";
}

// The tree as item numbers, children in parentheses: "1(2(3),4),5".
std::string Shape(const std::vector<BookmarkRecord>& records) {
    std::string out;
    for (const BookmarkRecord& record : records) {
        if (!out.empty()) out += ',';
        out += std::to_string(record.item);
        if (!record.children.empty()) out += "(" + Shape(record.children) + ")";
    }
    return out;
}

TEST(XmlReaderTest, ElementsInAnyOrderAndTheirValues) {
    const std::string file =
        "<Bookmarks>\r\n\t<Bookmark><Style>Italic</Style>\r\n\t\t<Action>\r\n"
        "\t\t\t<Page>  +12</Page>\r\n\t\t\t<Destination></Destination>\r\n"
        "\t\t\t<Type>Go to a page in this document</Type>\r\n\t\t\t<Zoom>1.5e2</Zoom>\r\n"
        "\t\t\t<Top>nan</Top>\r\n\t\t\t<Left>-10.5</Left>\r\n\t\t\t<Bottom>inf</Bottom>\r\n"
        "\t\t\t<Right>7abc</Right>\r\n\t\t</Action>\r\n\t\t<Item>42x</Item>\r\n"
        "\t\t<Name>Title</Name>\r\n\t\t<Level>0</Level>\r\n\t\t<Color>00ff00</Color>\r\n"
        "\t\t<Insert>True</Insert>\r\n\t</Bookmark>\r\n</Bookmarks>\r\n";
    for (bool forUpdate : {false, true}) {
        std::vector<BookmarkRecord> records = Read(file, forUpdate);
        ASSERT_EQ(records.size(), 1u);
        const BookmarkRecord& r = records[0];
        // Only the update job reads Insert.
        EXPECT_EQ(std::make_tuple(r.item, r.level, r.name, r.style, r.color, r.insert),
                  std::make_tuple(42, 0, "Title"s, "Italic"s, 0x00FF00u, forUpdate));
        ASSERT_EQ(r.actions.size(), 1u);
        const ActionRecord& a = r.actions[0];
        EXPECT_EQ(std::make_tuple(a.type, a.page, a.destination),
                  std::make_tuple(actionRecordGoTo, 12, "FitH"s));
        EXPECT_EQ(std::make_tuple(a.zoom, a.top, a.left, a.bottom, a.right),
                  std::make_tuple(150.0f, 0.0f, -10.5f, 0.0f, 7.0f));  // nan and inf read as 0
    }
}

TEST(XmlReaderTest, ActionTypesTextsAndDroppedActions) {
    auto action = [](const std::string& type, const std::string& lines = "") {
        return "\t\t<Action>\r\n\t\t\t<Type>" + type + "</Type>\r\n" + lines + "\t\t</Action>\r\n";
    };
    std::vector<BookmarkRecord> records = Read(Block(
        1, 0,
        action("Go to a page in another document",
               "\t\t\t<Filename>a&amp;amp;b&lt;&gt;&apos;&quot;&obr;&#x41;</Filename>\r\n"
               "\t\t\t<NewWindow>true</NewWindow>\r\n") +
            action("Open a file", "\t\t\t<NewWindow>True</NewWindow>\r\n") +
            action("Open weblink", "\t\t\t<Uri>http://x/?a=1&amp;b=2</Uri>\r\n") +
            action("Execute a menu item", "\t\t\t<Actionname>Next&lt;</Actionname>\r\n") +
            action("Go to a page") + action("open weblink") +  // exact texts only: dropped
            "\t\t<Action>\r\n\t\t\t<Page>3</Page>\r\n\t\t</Action>\r\n"));  // no Type: dropped
    ASSERT_EQ(records.size(), 1u);
    const std::vector<ActionRecord>& actions = records[0].actions;
    ASSERT_EQ(actions.size(), 4u);
    EXPECT_EQ(actions[0].type, actionRecordGoToR);
    EXPECT_EQ(actions[0].fileName, "a&amp;b<>'\"&obr;A");
    EXPECT_FALSE(actions[0].newWindow);
    EXPECT_EQ(actions[1].type, actionRecordLaunch);
    EXPECT_TRUE(actions[1].newWindow);
    EXPECT_EQ(actions[2].type, actionRecordURI);
    EXPECT_EQ(actions[2].uri, "http://x/?a=1&b=2");
    EXPECT_EQ(actions[3].type, actionRecordNamed);
    EXPECT_EQ(actions[3].actionName, "Next<");
    EXPECT_EQ(DecodeXmlText("&amp;amp;&lt;&gt;&apos;&quot;&unknown;&"), "&amp;<>'\"&unknown;&");
    // What the export escapes in these values comes back byte for byte.
    const std::string raw = "a&b<c>\t\r\n\x81\x9D\x01\xE9%20";
    EXPECT_EQ(EscapeXmlText(raw), "a&amp;b&lt;c&gt;&#x9;&#xD;&#xA;&#x81;&#x9D;%01\xE9%20");
    EXPECT_EQ(DecodeXmlText(EscapeXmlText("a&b<c>\t\r\n\x81\x9D\xE9")), "a&b<c>\t\r\n\x81\x9D\xE9");
    EXPECT_EQ(DecodeXmlText("&#x4E2D;"), "\xE4\xB8\xAD");
}

TEST(XmlReaderTest, ColorLineMustBeginWithItsTag) {
    auto colorOf = [](const std::string& lines) {
        std::vector<BookmarkRecord> records = Read(Block(1, 0, lines));
        return records.empty() ? 0xDEADu : records[0].color;
    };
    EXPECT_EQ(colorOf("\t\t<Color>00ff00</Color>\r\n"), 0x00FF00u);
    EXPECT_EQ(colorOf(" <Color>1A2B3C trailing text\r\n"), 0x1A2B3Cu);
    EXPECT_EQ(colorOf("\t\t<Color>123456</Color>\r\n\t\tx<Color>FF</Color>\r\n"), 0x123456u);
    EXPECT_EQ(colorOf("\t\t<Color>123456</Color>\r\n\t\t<Color>zz</Color>\r\n"), 0x123456u);
    EXPECT_EQ(colorOf("\t\t<Color>123456789</Color>\r\n"), 0xFFFFFFFFu);  // saturates
}

TEST(XmlReaderTest, LinesEndsFileEndAndTextOutsideBlocks) {
    const std::string crlf = Blocks({0, 1, 0});
    std::string lf;
    for (char c : crlf) {
        if (c != '\r') lf += c;
    }
    EXPECT_EQ(Shape(Read(crlf)), "1(2),3");
    EXPECT_EQ(Shape(Read(lf)), "1(2),3");
    // Empty lines are skipped; the last line counts without a line end.
    EXPECT_EQ(Shape(Read(Block(1, 0) + "\n\n\t<Bookmark>\n\t\t<Item>2</Item>\n\t</Bookmark>")),
              "1,2");
    EXPECT_EQ(Shape(Read(Block(1, 0) + "\t<Bookmark>\r\n\t\t<Item>2</Item>\r\n")), "1");
    // Lines outside a block change nothing, not even the action that a later
    // "</Action>" would append.
    std::vector<BookmarkRecord> records =
        Read("\t\t<Type>Open weblink</Type>\r\n" + Block(1, 0, "\t\t</Action>\r\n") +
             "\t\t<Action>\r\n\t\t<Type>Open a file</Type>\r\n" + Block(2, 0, "\t\t</Action>\r\n"));
    ASSERT_EQ(Shape(records), "1,2");
    EXPECT_TRUE(records[0].actions.empty());
    EXPECT_TRUE(records[1].actions.empty());
}

TEST(XmlReaderTest, RecordsGoUnderTheNearestEarlierRecordOfLowerLevel) {
    EXPECT_EQ(Shape(Read(Blocks({0, 1, 2, 1, 0}))), "1(2(3),4),5");
    EXPECT_EQ(Shape(Read(Blocks({0, 0, 1, 1, 2, 0}))), "1,2(3,4(5)),6");
    std::vector<BookmarkRecord> skipped = Read(Blocks({0, 2, 1}));
    ASSERT_EQ(Shape(skipped), "1(2,3)");
    EXPECT_EQ(skipped[0].children[0].level, 2);  // levels stay as read
    EXPECT_EQ(skipped[0].children[1].level, 1);
    EXPECT_EQ(Shape(Read(Blocks({1, 2, 0}))), "1(2),3");
    // A negative level goes to the top, and the level-0 records after it under it.
    EXPECT_EQ(Shape(Read(Blocks({0, 1, -1, 0, 1}))), "1(2),3(4(5))");
    // Beyond 256 levels a record goes under the deepest record allowed.
    std::string deep;
    for (int level = 0; level < 300; ++level) deep += Block(level + 1, level);
    std::vector<BookmarkRecord> tree = Read(deep);
    size_t depth = 0;
    for (const std::vector<BookmarkRecord>* list = &tree; !list->empty(); ++depth) {
        list = &list->back().children;
    }
    EXPECT_EQ(depth, 256u);
    // A second closing line appends the last record once more.
    const std::string again = "\t</Bookmark>\r\n";
    EXPECT_EQ(Shape(Read(Block(1, 0) + Block(2, 1) + again + Block(3, 0) + again)), "1(2,2),3,3");
}

// Values are decimal numbers: "0x10" reads as its leading "0".
TEST(XmlReaderTest, FloatValuesAreDecimalOnly) {
    std::vector<BookmarkRecord> records =
        Read(Block(1, 0,
                   "\t\t<Action>\r\n\t\t\t<Type>Go to a page in this document</Type>\r\n"
                   "\t\t\t<Zoom>0x10</Zoom>\r\n\t\t\t<Top>0x1p4</Top>\r\n"
                   "\t\t\t<Left>1e1x</Left>\r\n"
                   "\t\t</Action>\r\n"));
    ASSERT_EQ(records.size(), 1u);
    ASSERT_EQ(records[0].actions.size(), 1u);
    const ActionRecord& a = records[0].actions[0];
    EXPECT_EQ(std::make_tuple(a.zoom, a.top, a.left), std::make_tuple(0.0f, 0.0f, 10.0f));
}

TEST(BookmarkNameTest, NameValuesDecodeToLiteralStringBytes) {
    const std::pair<std::string, std::string> cases[] = {
        {"100%25", "100%"},
        {"%4a%4A", "JJ"},
        {"50%", "50%"},
        {"5%2", "5%2"},
        {"A&amp;lt;B", "A&lt;B"},  // one pass: the text that was written
        {"&obr;x&cbr;", "\\(x\\)"},
        {"a\\b&quot;&apos;&gt;", "a\\\\b\"'>"},
        {"%0Aa%0Db\r", "\\nab"},
        {"%28%00", "\\(\0"s},
        {"&#xE9;&#233;", "\xE9\xE9"},
        {"&#x2019;&#x28;", "\x90\\("},
        {"&#x4E2D;&#20013;", "\xFE\xFF\x4E\x2D\x4E\x2D"},
        {"Gr&#xF6;&#x00DF;e &#x4E2D;", "\xFE\xFF\0G\0r\0\xF6\0\xDF\0e\0 \x4E\x2D"s},
        {"%80%09&#x4E2D;", "\xFE\xFF\x20\x22\0\t\x4E\x2D"s},
        {"&obr;&#x4E28;&#x5C00;&#x1F600;", "\xFE\xFF\0\\(\x4E\\(\\\\\0\xD8\x3D\xDE\0"s},
        {"&#xD800;&#x110000;&#xZZ;&#x41&#;&nbsp;", "&#xD800;&#x110000;&#xZZ;&#x41&#;&nbsp;"},
    };
    for (const auto& [value, bytes] : cases) EXPECT_EQ(DecodeNameValue(value), bytes) << value;
}

TEST(BookmarkNameTest, BadPercentEscapeThrowsWithoutLineEnd) {
    EXPECT_EQ(std::make_tuple(HexDigitValue('7'), HexDigitValue('a'), HexDigitValue('F'),
                              HexDigitValue('g')),
              std::make_tuple(7, 10, 15, -1));
    for (const char* value : {"%G1", "x%1G", "%%41"}) {
        try {
            Read(Block(1, 0, std::string("\t\t<Name>") + value + "</Name>\r\n"));
            ADD_FAILURE() << value << " was accepted";
        } catch (const CPdfException& e) {
            EXPECT_EQ(e.Message(), "Wrong PDFEncoding code");
        }
    }
}

}  // namespace
