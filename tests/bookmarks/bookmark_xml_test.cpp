#include "bookmarks/bookmark_xml.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <sstream>

#include "base/exception.h"
#include "base/text_format.h"
#include "bookmarks/text_codec.h"
#include "support/harness.h"

namespace {

using namespace std::string_literals;

// Hand-written names: escapes in either case, decimal references, and what is
// not an escape kept as it stands.
TEST(XmlReaderTest, NameValuesDecodeToLiteralStringBytes) {
    const std::pair<std::string, std::string> cases[] = {
        {"100%25%4a%4A", "100%JJ"},
        {"50%", "50%"},
        {"5%2", "5%2"},
        {"A&amp;lt;B", "A&lt;B"},
        {"%0Aa%0Db\r", "\\na\\rb"},
        {"&#xE9;&#233;&#x2019;&#x28;", "\xE9\xE9\x90\\("},
        {"Gr&#xF6;e &#x4E2D;&#20013;", "\xFE\xFF\0G\0r\0\xF6\0e\0 \x4E\x2D\x4E\x2D"s},
        {"&obr;&#x4E28;&#x5C00;&#x1F600;&#x10000;",
         "\xFE\xFF\0\\(\x4E\\(\\\\\0\xD8\x3D\xDE\0\xD8\0\xDC\0"s},
        {"&#xD800;&#x110000;&#xZZ;&#x41&#;&nbsp;", "&#xD800;&#x110000;&#xZZ;&#x41&#;&nbsp;"},
        {"&#xDFFF;&#xE000;&#x7FF;&#x800;", "\xFE\xFF\0&\0#\0x\0D\0F\0F\0F\0;\xE0\0\a\xFF\b\0"s},
    };
    for (const auto& [value, bytes] : cases) EXPECT_EQ(DecodeNameValue(value), bytes) << value;
    EXPECT_EQ(EscapePdfName("a /(c)[]<>{}%#\x7F\xE9!~"),
              "a#20#2F#28c#29#5B#5D#3C#3E#7B#7D#25#23#7F#E9!~");
    EXPECT_EQ(DecodeXmlText("&amp;amp;&lt;&gt;&apos;&quot;&unknown;&#x4E2D;&#x7FF;&#x800;&"),
              "&amp;<>'\"&unknown;\xE4\xB8\xAD\xDF\xBF\xE0\xA0\x80&");
    EXPECT_EQ(EscapeXmlText("a&b<c>\t\r\n\x81\x9D\x01\xE9%20"),
              "a&amp;b&lt;c&gt;&#x9;&#xD;&#xA;&#x81;&#x9D;%01\xE9%20");
}

// The tree as "item/level" with children in parentheses, then each record's
// other fields where they differ from a fresh record.
std::string Describe(const std::vector<BookmarkRecord>& records) {
    std::string out;
    for (const BookmarkRecord& r : records) {
        out += Format("%s%d/%d", out.empty() ? "" : ",", r.item, r.level) +
               (r.name.empty() ? "" : " '" + r.name + "'") +
               (r.style == "Plain" ? "" : " " + r.style) +
               (r.color ? Format(" #%X", r.color) : "") + (r.insert ? " insert" : "");
        for (const ActionRecord& a : r.actions) {
            out += Format(" [%d ", a.type) +
                   (a.type == actionRecordGoTo
                        ? Format("%d %s %g %g %g %g %g", a.page, a.destination.c_str(), a.zoom,
                                 a.top, a.left, a.bottom, a.right)
                        : a.fileName + a.uri + a.actionName) +
                   (a.newWindow ? " new]" : "]");
        }
        if (!r.children.empty()) out += "(" + Describe(r.children) + ")";
    }
    return out;
}

std::string Read(const std::string& text, bool forUpdate = false) {
    std::istringstream input("<Bookmarks>\n" + text);
    try {
        return Describe(ReadBookmarks(input, forUpdate));
    } catch (const CPdfException& failure) {
        return failure.Message();
    }
}

// A Bookmark block with its Item and Level lines and any further lines.
std::string Block(int item, int level, const std::string& lines = "") {
    return "\t<Bookmark>\r\n\t\t<Item>" + std::to_string(item) + "</Item>\r\n\t\t<Level>" +
           std::to_string(level) + "</Level>\r\n" + lines + "\t</Bookmark>\r\n";
}

std::string Blocks(std::initializer_list<int> levels) {
    std::string text;
    int item = 0;
    for (int level : levels) text += Block(++item, level);
    return text;
}

std::string Action(const std::string& type, const std::string& lines = "") {
    return "\t\t<Action>\r\n\t\t\t<Type>" + type + "</Type>\r\n" + lines + "\t\t</Action>\r\n";
}

TEST(XmlReaderTest, RecordsTreesAndValues) {
    const std::string goTo = "Go to a page in this document";
    const std::string deep = [] {
        std::string text;
        for (int level = 0; level < 300; ++level) text += Block(level + 1, level);
        return text;
    }();
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {
        // Elements in any order; values decimal only; nan and inf read as 0.
        {"<Bookmarks>\r\n\t<Bookmark><Style>Italic</Style>\r\n" +
             Action(goTo,
                    "<Page>  +12</Page>\n<Destination></Destination>\n<Zoom>1.5e2</Zoom>\n"
                    "<Top>nan</Top>\n<Left>-10.5</Left>\n<Bottom>inf</Bottom>\n"
                    "<Right>7abc</Right>\n") +
             "<Item>42x</Item>\n<Name>T</Name>\n<Level>0</Level>\n<Color>00ff00</Color>\n"
             "<Insert>True</Insert>\n</Bookmark>\r\n</Bookmarks>",
         "42/0 'T' Italic #FF00 [0 12 FitH 150 0 -10.5 0 7]"},
        {Block(1, 0, Action(goTo, "<Zoom>0x10</Zoom>\n<Top>0x1p4</Top>\n<Left>1e1x</Left>\n")),
         "1/0 [0 0  0 0 10 nan nan]"},
        {Block(
             1, 0,
             Action(
                 "Go to a page in another document",
                 "<Filename>a&amp;amp;&lt;&obr;&#x41;</Filename>\n<NewWindow>true</NewWindow>\n") +
                 Action("Open a file", "<NewWindow>True</NewWindow>\n") +
                 Action("Open weblink", "<Uri>http://x/?a=1&amp;b=2</Uri>\n") +
                 Action("Execute a menu item", "<Actionname>Next&lt;</Actionname>\n") +
                 Action("Go to a page") + Action("open weblink") +
                 "<Action>\n<Page>3</Page>\n</Action>\n"),
         "1/0 [1 a&amp;<&obr;A new] [2  new] [3 http://x/?a=1&b=2] [4 Next<]"},
        // A colour may start with "#"; one that does not read changes nothing; it saturates.
        {Block(1, 0, "<Color> #1A2B3C </Color>\n<Color>zz</Color>\n"), "1/0 #1A2B3C"},
        // Markup wherever the lines break, attributes, comments, spaces and case.
        {"<?xml version='1.0'?><!-- x --><Bookmark id=\"3\"><Item> 4 </Item><Level>1</Level>"
         "<Style>bolditalic</Style><Insert>true</Insert><Name> a b </Name><Action><Type> Open "
         "weblink </Type><Uri>u</Uri></Action></Bookmark><Bookmark>\n<Item>5</Item></Bookmark>",
         "4/1 ' a b ' BoldItalic [3 u],5/0"},
        // UTF-8, declared, marked or found, becomes character references.
        {"<?xml encoding=\"UTF-8\"?>" +
             Block(1, 0, "<Name>Gr\xC3\xB6\xC3\x9F\xE4\xB8\xAD</Name>\n"),
         "1/0 '\xFE\xFF\0G\0r\0\xF6\0\xDF\x4E\x2D'"s},
        {"\xEF\xBB\xBF" + Block(1, 0, "<Name>\xC2\xA9\xC3\xA9</Name>\n"), "1/0 '\xA9\xE9'"},
        {Block(1, 0, "<Name>\x80\xC3\xA9</Name>\n"), "1/0 '\x80\xC3\xA9'"},
        {Block(1, 0, "<Name>\xE9\xC3</Name>\n"), "1/0 '\xE9\xC3'"},
        {Block(1, 0, "<Color>123456789</Color>\n"), "1/0 #FFFFFFFF"},
        {Block(1, 0, "<Name>%G1</Name>\n"), "Wrong PDFEncoding code"},
        {Block(1, 0, "<Name>%%41</Name>\n"), "Wrong PDFEncoding code"},
        // Records go under the nearest earlier record of a lower level.
        {Blocks({0, 1, 2, 1, 0}), "1/0(2/1(3/2),4/1),5/0"},
        {Blocks({0, 2, 1}), "1/0(2/2,3/1)"},
        {Blocks({1, 2, 0}), "1/1(2/2),3/0"},
        {Blocks({0, 1, -1, 0, 1}), "1/0(2/1),3/-1(4/0(5/1))"},
        // Line ends, empty lines, a last line without an end, text outside blocks.
        {"\n\n\t<Bookmark>\n\t\t<Item>2</Item>\n\t</Bookmark>", "2/0"},
        {Block(1, 0) + "\t<Bookmark>\r\n\t\t<Item>2</Item>\r\n", "1/0"},
        {"<Type>Open weblink</Type>\n" + Block(1, 0, "</Action>\n") +
             "<Action>\n<Type>Open a file</Type>\n" + Block(2, 0, "</Action>\n"),
         "1/0,2/0"},
        // A second closing line appends the last record once more.
        {Block(1, 0) + Block(2, 1) + "</Bookmark>\n" + Block(3, 0) + "</Bookmark>\n",
         "1/0(2/1,2/1),3/0,3/0"},
    };
    for (const auto& c : cases) EXPECT_EQ(Read(c.text), c.expected) << c.text;
    EXPECT_EQ(Read(Block(1, 0, "<Insert>True</Insert>\n"), true), "1/0 insert");
    // Beyond 256 levels a record goes under the deepest record allowed.
    const std::string tree = Read(deep);
    EXPECT_NE(tree.find("(256/255,257/256,258/257,"), std::string::npos);
    EXPECT_EQ(std::count(tree.begin(), tree.end(), '('), 255);
}

}  // namespace
