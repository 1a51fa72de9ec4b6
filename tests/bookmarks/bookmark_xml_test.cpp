#include "bookmarks/bookmark_xml.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <sstream>

#include "base/error.h"
#include "base/text_format.h"
#include "support/harness.h"

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

// The cases of tests/data/bookmark_files.txt, read one by one.
TEST(BookmarkFileTest, FilesAreReadOrRefusedAsTheCasesSay) {
    std::istringstream cases(
        fixture::ReadFile(std::string(FOLIVANT_TEST_DATA) + "/bookmark_files.txt"));
    std::string line, file, expected, *text = nullptr;
    bool update = false;
    int count = 0;
    while (std::getline(cases, line)) {
        if (line.rfind("=== ", 0) == 0) {
            update = line == "=== update";
            file = expected = "";
            text = &file;
        } else if (text != nullptr && line == "---") {
            text = &expected;
        } else if (text != nullptr && line == "...") {
            file.pop_back();  // the line end before the marker
            expected.pop_back();
            std::string read = Read(fixture::Unescaped(file), update);
            if (!read.empty() && read.back() == '\n') read.pop_back();
            EXPECT_EQ(read, fixture::Unescaped(expected)) << file;
            text = nullptr;
            ++count;
        } else if (text != nullptr) {
            *text += line + "\n";
        }
    }
    EXPECT_GT(count, 50);
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
    uri.uri = "https://x.org/K%C3%B6ln?a=1&b=(2)!\x01\xE9\x7F";
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
    expected[0].actions[3].uri = "https://x.org/K%C3%B6ln?a=1&b=(2)!%01%E9%7F";
    EXPECT_EQ(Read(file), Describe(expected)) << file;
    EXPECT_NE(file.find("<Uri>https://x.org/K%C3%B6ln?a=1&amp;b=(2)!%01%E9%7F</Uri>"),
              std::string::npos);
    // Names of actions are bytes: only what XML needs is escaped.
    EXPECT_NE(file.find("<Actionname>Next(\"Page')</Actionname>"), std::string::npos);
    EXPECT_NE(file.find("<Name>a%18b%1Fc &#x4E2D; %1Ben%1B %2525 &obr;x&cbr; &amp; &lt;y&gt; "
                        "&quot;&apos;%09%0A%0D &#x02D8;\x98\x95\x80&#x0080;%9F\xA0%AD%7F&#x1F600;"
                        "&#xFB01;</Name>"),
              std::string::npos);
}

}  // namespace
