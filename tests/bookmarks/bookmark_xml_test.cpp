#include "bookmarks/bookmark_xml.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

#include "base/error.h"
#include "base/text_format.h"

namespace {

using namespace std::string_literals;

// Every field of the records, the tree as children in parentheses; fields
// left as a fresh record has them are not shown.
std::string Describe(const std::vector<BookmarkRecord>& records) {
    auto number = [](float value) { return std::isnan(value) ? "-"s : Format("%g", value); };
    std::string out;
    for (const BookmarkRecord& r : records) {
        out += Format("%s%d/%d", out.empty() ? "" : ",", r.item, r.level) +
               (r.title.empty() ? "" : " '" + r.title + "'") +
               (r.style == "Plain" ? "" : " " + r.style) +
               (r.color ? Format(" #%X", r.color) : "") + (r.open ? " open" : "") +
               (r.insert ? " insert" : "");
        for (const ActionRecord& a : r.actions) {
            static const char* const kKinds[] = {"goto", "gotor", "launch", "uri", "named", "js"};
            out += Format(" [%s]", kKinds[static_cast<int>(a.type)]);
            if (a.type == ActionType::GoTo || a.type == ActionType::GoToR) {
                out += Format(" %d %s ", a.page, a.destination.c_str()) + number(a.zoom) + " " +
                       number(a.top) + " " + number(a.left) + " " + number(a.bottom) + " " +
                       number(a.right);
            }
            if (!a.namedDestination.empty()) {
                out += (a.namedDestinationIsName ? " /" : " (") + a.namedDestination;
            }
            for (const std::string* text : {&a.fileName, &a.uri, &a.actionName, &a.script}) {
                if (!text->empty()) out += " " + *text;
            }
            if (a.newWindow) out += " new";
        }
        if (!r.children.empty()) out += "(" + Describe(r.children) + ")";
    }
    return out;
}

// The records of a file, or the message it is refused with; a warning goes first.
std::string Read(const std::string& file, bool forUpdate = false) {
    try {
        Warnings warnings;
        const std::string records = Describe(ReadBookmarks(file, forUpdate, &warnings));
        std::string warning;
        for (const std::string& line : warnings.lines()) warning += line + "\n";
        return warning + records;
    } catch (const Error& failure) {
        return failure.message();
    }
}

std::string InFile(const std::string& records) {
    return "<Bookmarks>\n" + records + "</Bookmarks>\n";
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

const std::string kGoTo = "Go to a page in this document";
const std::string kQuotes = "He said \u201Chi\u201D \u2013 costs \u20AC5 \u2026 Stra\u00DFe";

// The same title in the encodings a bookmark file comes in, and what each
// reading says of it.
TEST(BookmarkFileTest, EncodingsAsDeclared) {
    auto with = [&](const char* declaration, const std::string& title) {
        return std::string(declaration) + "<Bookmarks><Bookmark><Name>" + title +
               "</Name></Bookmark></Bookmarks>";
    };
    const std::string cp1252 =
        "He said \x93hi\x94 \x96 costs \x80"
        "5 \x85 Stra\xDF"
        "e";
    auto utf16 = [](const std::string& ascii, bool bigEndian, bool mark) {
        std::string out = mark ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
        for (char c : ascii) out += bigEndian ? "\0"s + c : std::string(1, c) + '\0';
        return out;
    };
    const std::string declared = "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>";
    const std::string asUtf8 = "Warning: the bookmark file is read as UTF-8, as all its text is\n";
    const std::string undeclared =
        "Warning: the bookmark file declares no encoding and is not UTF-8; it is read as "
        "Windows-1252\n";
    const struct {
        std::string file;
        std::string expected;
    } cases[] = {
        {with(declared.c_str(), cp1252), "-1/0 '" + kQuotes + "'"},
        {with(declared.c_str(), kQuotes), asUtf8 + "-1/0 '" + kQuotes + "'"},
        {with("", cp1252), undeclared + "-1/0 '" + kQuotes + "'"},
        {with("", kQuotes), "-1/0 '" + kQuotes + "'"},
        {"\xEF\xBB\xBF" + with(declared.c_str(), kQuotes), "-1/0 '" + kQuotes + "'"},
        {with("<?xml version='1.0' encoding='utf-8'?>", kQuotes), "-1/0 '" + kQuotes + "'"},
        {with("<?xml version='1.0' encoding='ISO-8859-1'?>",
              "Stra\xDF"
              "e \x80"),
         "-1/0 'Stra\u00DFe \u0080'"},
        {with("<?xml version='1.0' encoding='US-ASCII'?>", "&#xDF;"), "-1/0 '\u00DF'"},
        {utf16(with(declared.c_str(), "G&#x4E2D;"), false, true), "-1/0 'G\u4E2D'"},
        {utf16(with(declared.c_str(), "G"), true, true), "-1/0 'G'"},
        {utf16(with("<?xml version='1.0'?>", "G"), false, false), "-1/0 'G'"},
        {with(declared.c_str(), "&#x1F600;&#233;&#x41;"), "-1/0 '\U0001F600\u00E9A'"},
        // What the encoding leaves undefined reads as the character of its value.
        {with(declared.c_str(), "\x81\x9D"), "-1/0 '\u0081\u009D'"},
        {with("<?xml version='1.0' encoding='UTF-8'?>", cp1252),
         "Error in .xml file: line 1, column 74: not well-formed (invalid token)\n"},
        {with("<?xml version='1.0' encoding='EBCDIC'?>", "x"),
         "Error in .xml file: line 1, column 31: unknown encoding\n"},
        {with("<?xml version='1.0' encoding='US-ASCII'?>", "\xE9"),
         "Error in .xml file: line 1, column 69: not well-formed (invalid token)\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(Read(c.file), c.expected) << c.file;
}

// CDATA, references, entities of the file's own DTD, comments and processing
// instructions anywhere, attributes: read as XML reads them.
TEST(BookmarkFileTest, XmlIsReadAsXml) {
    const struct {
        std::string file;
        std::string expected;
    } cases[] = {
        {InFile("<Bookmark><Name><![CDATA[Tom & Jerry]]></Name></Bookmark>"
                "<Bookmark><Name>x<![CDATA[a > b]]>y</Name></Bookmark>"),
         "-1/0 'Tom & Jerry',-1/0 'xa > by'"},
        {InFile("<Bookmark id='1' note=\"a>b\"><Name lang='x>'>T</Name></Bookmark>"), "-1/0 'T'"},
        {"<?xml version='1.0'?>\n<!DOCTYPE Bookmarks [<!ENTITY co 'Smith &amp; Co'>\n"
         "<!ENTITY obr '['>]>" +
             InFile("<!-- a --><?pi x?><Bookmark><Name>&co;&obr;&cbr;&lt;&gt;&amp;&apos;&quot;"
                    "</Name><!-- b --></Bookmark>"),
         "-1/0 'Smith & Co[)<>&'\"'"},
        {"<!DOCTYPE Bookmarks SYSTEM 'http://example.org/none.dtd'>" +
             InFile("<Bookmark><Name>&obr;&cbr;</Name></Bookmark>"),
         "-1/0 '()'"},
        // The format's entities in every value that holds text.
        {InFile("<Bookmark>" + Action("Open weblink", "<Uri>&obr;&cbr;</Uri>") +
                Action("Run a JavaScript", "<Script>f&obr;&cbr;;</Script>") + "</Bookmark>"),
         "-1/0 [uri] () [js] f();"},
    };
    for (const auto& c : cases) EXPECT_EQ(Read(c.file), c.expected) << c.file;
}

// A file that is not well-formed, or not of this format, is refused whole,
// with the place and what the parser found.
TEST(BookmarkFileTest, MalformedFilesAreRefused) {
    const std::string two = "<Bookmark><Name>a</Name></Bookmark><Bookmark><Name>b</Name>";
    const struct {
        std::string file;
        std::string expected;
    } cases[] = {
        {"<Bookmarks>" + two + "<!-- </Bookmark></Bookmarks>", "line 1, column 71: unclosed token"},
        {"<Bookmarks>\n" + two + "\n</Bookmarks>", "line 3, column 3: mismatched tag"},
        {"<Bookmarks>" + two.substr(0, 50), "line 1, column 57: unclosed token"},
        {"<Bookmarks>" + two + "</Bookmark>", "line 1, column 82: no element found"},
        {"<Bookmarks><Bookmark><Bookmark/></Bookmark></Bookmarks>",
         "line 1, column 22: <Bookmark> cannot stand inside <Bookmark>"},
        {"<Bookmarks><Bookmark><Name>a<b/></Name></Bookmark></Bookmarks>",
         "line 1, column 29: <b> cannot stand inside <Name>"},
        {"<Bookmarks><Bookmark><Colour>FF0000</Colour></Bookmark></Bookmarks>",
         "line 1, column 22: <Colour> cannot stand inside <Bookmark>"},
        // An empty element refused: its end, which the parser still reports, is not read.
        {"<Bookmarks><Bookmark><Nam/><Name>a</Name></Bookmark></Bookmarks>",
         "line 1, column 22: <Nam> cannot stand inside <Bookmark>"},
        {"<Bookmarks><Bookmark><Action><Pag/></Action></Bookmark></Bookmarks>",
         "line 1, column 30: <Pag> cannot stand inside <Action>"},
        {"<Bookmarks><Item>1</Item></Bookmarks>",
         "line 1, column 12: <Item> cannot stand inside <Bookmarks>"},
        {"<Bookmarks><Bookmark><Name>a</Name><Name>b</Name></Bookmark></Bookmarks>",
         "line 1, column 43: <Name> given twice"},
        {"<Bookmarks><Bookmark><Name>&nbsp;</Name></Bookmark></Bookmarks>",
         "line 1, column 28: undefined entity &nbsp;"},
        {"<!DOCTYPE Bookmarks [<!ENTITY x SYSTEM '/etc/passwd'>]><Bookmarks><Bookmark><Name>&x;"
         "</Name></Bookmark></Bookmarks>",
         "line 1, column 83: error in processing external entity reference"},
        {"", "line 1, column 1: no element found"},
        {"%PDF-1.4\n\x80\x81\n", "line 1, column 9: not well-formed (invalid token)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Read(c.file), "Error in .xml file: " + c.expected + "\n") << c.file;
    }
    EXPECT_EQ(Read("<?xml version='1.0'?><html><Bookmarks/></html>"),
              "Error in .xml file: no <Bookmarks> element\n");
}

// Values of the format: words in any case and spacing, numbers as the
// elements want them, and mistakes named with their line and item.
TEST(BookmarkFileTest, ValuesAreReadOrNamed) {
    const struct {
        std::string records;
        std::string expected;
    } cases[] = {
        {"<Bookmark><Style>italic</Style>\n" +
             Action(" go to a PAGE\n  in this document ",
                    "<Page> +12 </Page><Destination></Destination><Zoom>1.5e2</Zoom>"
                    "<Top>0</Top><Left>-10.5</Left><Bottom></Bottom>") +
             "<Item>42</Item><Name> a b </Name><Level>0</Level><Color> #00ff00 </Color>"
             "<Open> true </Open><Insert>True</Insert></Bookmark>",
         "42/0 ' a b ' Italic #FF00 open insert [goto] 12 FitH 150 0 -10.5 - -"},
        {Block(
             1, 0,
             Action("Go to a page in another document",
                    "<NamedDestination>ch%00a%25&amp;\xC3\xA9</NamedDestination>"
                    "<NamedDestinationType>name</NamedDestinationType>"
                    "<Filename>a&amp;b \xE4\xB8\xAD.pdf</Filename><NewWindow>TRUE</NewWindow>") +
                 Action("Open a file", "<Filename>x</Filename><NewWindow>False</NewWindow>") +
                 Action("Open weblink", "<Uri>\n https://x.org/K\xC3\xB6ln?a=1&amp;b=%41 </Uri>") +
                 Action("Execute a menu item",
                        "<Actionname>Next\xE2\x82\xAC\xC3\xA9</Actionname>") +
                 Action("Go to a page in this document",
                        "<Page>0</Page><NamedDestination>sec</NamedDestination>")),
         "1/0 [gotor] 0  - - - - - /ch\0a%&\xE9 a&b \u4E2D.pdf new [launch] x "
         "[uri] https://x.org/K%C3%B6ln?a=1&b=%41 [named] Next\x80\xE9 [goto] 0  - - - - - (sec"s},
        {Block(1, 0, "<Name>100%25%4a%4A %18%1B%1F%80%9F%AD%0D</Name>"),
         "1/0 '100%JJ \x18\x1B\x1F\u2022\u009F\u00AD\r'"},
        {Block(3, 0, "<Color>F00</Color>"),
         "line 5, item 3: <Color> must be six hexadecimal digits (RRGGBB), not 'F00'"},
        {Block(3, 0, "<Color>red</Color>"),
         "line 5, item 3: <Color> must be six hexadecimal digits (RRGGBB), not 'red'"},
        {Block(3, 0, "\n<Style>NotBold</Style>"), "line 6, item 3: unknown <Style> 'NotBold'"},
        {Block(3, 0, "<Insert>Yes</Insert>"),
         "line 5, item 3: <Insert> must be True or False, not 'Yes'"},
        {Block(3, 0, Action(kGoTo, "<Page>1.5e2</Page>")),
         "line 7, item 3: <Page> must be a whole number, not '1.5e2'"},
        {Block(3, 0, Action(kGoTo, "<Page>-2</Page>")), "line 7, item 3: a negative <Page>: '-2'"},
        {Block(3, 0, Action(kGoTo, "<Page>99999999999</Page>")),
         "line 7, item 3: <Page> is out of range: '99999999999'"},
        {Block(3, 0, Action(kGoTo, "<Top>0x10</Top>")),
         "line 7, item 3: <Top> must be a number, not '0x10'"},
        {Block(3, 0, Action(kGoTo, "<Destination>Fit Page</Destination>")),
         "line 7, item 3: unknown <Destination> 'Fit Page'"},
        {Block(3, 0, Action("Go to page")), "line 6, item 3: unknown action type 'Go to page'"},
        {Block(3, 0, "<Action><Page>1</Page></Action>"),
         "line 5, item 3: an action without <Type>"},
        {Block(3, -1), "line 4, item 3: a negative <Level>: '-1'"},
        {"<Bookmark><Level>x</Level></Bookmark>",
         "line 2: <Level> must be a whole number, not 'x'"},
        {Block(3, 0, "<Name>100%</Name>"),
         "line 5, item 3: Wrong PDFEncoding code '%': \"%\" must be followed by two hexadecimal "
         "digits"},
        {Block(3, 0,
               Action("Go to a page in another document",
                      "<NamedDestination>%G1</NamedDestination>")),
         "line 7, item 3: Wrong PDFEncoding code '%G1': \"%\" must be followed by two "
         "hexadecimal digits"},
    };
    for (const auto& c : cases) {
        const std::string read = Read(InFile(c.records), true);
        const bool refused = read.rfind("Error in .xml file: ", 0) == 0;
        EXPECT_EQ(refused ? read.substr(20, read.size() - 21) : read, c.expected) << c.records;
    }
    EXPECT_EQ(Read(InFile(Block(1, 0, "<Insert>True</Insert>"))), "1/0");
}

TEST(BookmarkFileTest, LevelsMakeTheTree) {
    const struct {
        std::string records;
        std::string expected;
    } cases[] = {
        {Blocks({0, 1, 2, 1, 0}), "1/0(2/1(3/2),4/1),5/0"},
        {Blocks({0, 2, 1}), "1/0(2/2,3/1)"},
        {Blocks({1, 2, 0}), "1/1(2/2),3/0"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Read(InFile(c.records)), c.expected) << c.records;
    // Beyond 256 levels a record goes under the deepest record allowed.
    std::string deep;
    for (int level = 0; level < 300; ++level) deep += Block(level + 1, level);
    const std::string tree = Read(InFile(deep));
    EXPECT_NE(tree.find("(256/255,257/256,258/257,"), std::string::npos);
    EXPECT_EQ(std::count(tree.begin(), tree.end(), '('), 255);
}

// What the export writes reads back as the same records, for every kind of
// field and the characters each one must carry.
TEST(BookmarkFileTest, EveryFieldComesBackThroughTheFile) {
    BookmarkRecord parent;
    parent.item = 1;
    parent.title =
        "a\x18"
        "b\x1F"
        "c \u4E2D \x1B"
        "en\x1B %25 (x) & <y> \"'\t\n\r \u02D8\u02DC"
        "\u2022\u20AC\u0080\u009F\u00A0\u00AD\u007F\U0001F600\uFB01";
    parent.style = "BoldItalic";
    parent.color = 0xFF8000;
    parent.open = true;
    ActionRecord goTo;
    goTo.page = 2;
    goTo.destination = "XYZ";
    goTo.zoom = 0;
    goTo.top = 792;
    goTo.left = 0;
    goTo.namedDestination = "chapter.3";
    goTo.namedDestinationIsName = true;
    ActionRecord remote;
    remote.type = ActionType::GoToR;
    remote.namedDestination = "\xFE\xFF\0c\0h %"s;
    remote.fileName = "far \u4E2D & \u20AC.pdf";
    remote.newWindow = true;
    ActionRecord launch;
    launch.type = ActionType::Launch;
    launch.fileName = "run me.exe";
    launch.newWindow = true;
    ActionRecord uri;
    uri.type = ActionType::Uri;
    uri.uri = "https://x.org/K%C3%B6ln?a=1&b=(2)\x01\xE9\x7F";
    ActionRecord named;
    named.type = ActionType::Named;
    named.actionName = "Next(\"Page')";
    ActionRecord script;
    script.type = ActionType::JavaScript;
    script.script = "if (a < b && c > 1) {\n\tapp.alert('100% \u4E2D');\r\n}";
    parent.actions = {goTo, remote, launch, uri, named, script};
    BookmarkRecord child;
    child.item = 2;
    child.level = 1;
    child.title = "c";
    ActionRecord fitR;
    fitR.page = 1;
    fitR.destination = "FitR";
    fitR.left = 0;
    fitR.bottom = -5;
    fitR.right = 100;
    fitR.top = 200;
    child.actions = {fitR};
    parent.children = {child};

    const std::vector<BookmarkRecord> records{parent};
    const std::string file = BookmarkXml(records);
    // Links come back ASCII: their other bytes as percent escapes.
    std::vector<BookmarkRecord> expected = records;
    expected[0].actions[3].uri = "https://x.org/K%C3%B6ln?a=1&b=(2)%01%E9%7F";
    EXPECT_EQ(Read(file), Describe(expected)) << file;
    EXPECT_NE(file.find("<Uri>https://x.org/K%C3%B6ln?a=1&amp;b=(2)%01%E9%7F</Uri>"),
              std::string::npos);
    // Names of actions are bytes: only what XML needs is escaped.
    EXPECT_NE(file.find("<Actionname>Next(\"Page')</Actionname>"), std::string::npos);
    EXPECT_NE(file.find("<Name>a%18b%1Fc &#x4E2D; %1Ben%1B %2525 &obr;x&cbr; &amp; &lt;y&gt; "
                        "&quot;&apos;%09%0A%0D &#x02D8;\x98\x95\x80&#x0080;%9F\xA0%AD%7F&#x1F600;"
                        "&#xFB01;</Name>"),
              std::string::npos);
}

}  // namespace
