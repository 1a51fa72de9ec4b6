#include "bookmarks/merge.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "bookmarks/bookmark_xml.h"

namespace {

// A bookmark file from "item/level[/name][/i]" words ("/i" for Insert).
std::vector<BookmarkRecord> Read(const std::string& text) {
    std::istringstream words(text);
    std::string xml = "<Bookmarks>\n";
    for (std::string word; words >> word;) {
        std::istringstream parts(word);
        std::string item, level, name, insert;
        std::getline(parts, item, '/');
        std::getline(parts, level, '/');
        std::getline(parts, name, '/');
        std::getline(parts, insert, '/');
        xml += "<Bookmark><Item>" + item + "</Item><Level>" + level + "</Level><Name>" + name +
               "</Name><Insert>" + (insert == "i" ? "True" : "False") + "</Insert></Bookmark>\n";
    }
    return ReadBookmarks(xml + "</Bookmarks>\n", true);
}

// An outline as gathered from a PDF: each record stands for the input item
// whose object has its number plus 100.
std::vector<BookmarkRecord> Input(const std::string& text) {
    std::vector<BookmarkRecord> records = Read(text);
    struct Mark {
        static void Of(std::vector<BookmarkRecord>& list) {
            for (BookmarkRecord& record : list) {
                record.source = record.item + 100;
                record.kept = {true, true, true, true};
                Of(record.children);
            }
        }
    };
    Mark::Of(records);
    return records;
}

// The tree as "item" or "item'name'", the input item a record stands for and
// the parts it keeps as "@object:tcsa", children in parentheses.
std::string Shape(const std::vector<BookmarkRecord>& records) {
    std::string out;
    for (const BookmarkRecord& r : records) {
        out += (out.empty() ? "" : " ") + std::to_string(r.item) +
               (r.title.empty() ? "" : "'" + r.title + "'");
        if (r.source != 0) {
            out += "@" + std::to_string(r.source) + ":" + (r.kept.title ? "t" : "") +
                   (r.kept.color ? "c" : "") + (r.kept.style ? "s" : "") +
                   (r.kept.actions ? "a" : "");
        }
        if (!r.children.empty()) out += "(" + Shape(r.children) + ")";
    }
    return out;
}

// The warnings of a merge, in short: "5 removes 6", "99 unmatched".
std::string Reports(const Warnings& warnings) {
    std::string out;
    for (const std::string& line : warnings.lines()) {
        std::smatch match;
        if (std::regex_match(line, match,
                             std::regex("Warning: no item (\\d+) in the outline; .*"))) {
            out += (out.empty() ? "" : "; ") + match[1].str() + " unmatched";
        } else if (std::regex_match(line, match,
                                    std::regex("Warning: the record of item (\\d+) removes items? "
                                               "(.*), which the bookmark file does not hold"))) {
            out += (out.empty() ? "" : "; ") + match[1].str() + " removes " +
                   std::regex_replace(match[2].str(), std::regex(",? and |, "), " ");
        } else {
            out += (out.empty() ? "" : "; ") + line;
        }
    }
    return out;
}

TEST(MergeTest, EditsApplyOnceInFileOrder) {
    const std::string outline = "1/0 2/1 3/1 4/0 5/1 6/2";
    const struct {
        std::string edits;
        std::string expected;
        std::string reports;
    } cases[] = {
        // The whole export changes nothing: every record stands for its item.
        {outline, "1@101:tcsa(2@102:tcsa 3@103:tcsa) 4@104:tcsa(5@105:tcsa(6@106:tcsa))", ""},
        // One insert where it stands: a new item, whatever its number.
        {"1/0 2/1 3/1 7/1/new/i 4/0 5/1 6/2",
         "1@101:tcsa(2@102:tcsa 3@103:tcsa 7'new') 4@104:tcsa(5@105:tcsa(6@106:tcsa))", ""},
        // A rename keeps everything but the title; the child it drops is named.
        {"5/0/renamed", "1@101:tcsa(2@102:tcsa 3@103:tcsa) 4@104:tcsa(5'renamed'@105:csa)",
         "5 removes 6"},
        {"2/0/a/i 2/0/b/i 2/0/c/i",
         "1@101:tcsa(2@102:tcsa 2'a' 2'b' 2'c' 3@103:tcsa) 4@104:tcsa(5@105:tcsa(6@106:tcsa))", ""},
        // Inserted after 4, a chapter takes 3 and 6 along: they leave their places.
        {"4/0/chapter/i 3/1/x 6/1/y",
         "1@101:tcsa(2@102:tcsa 3@103:tcsa) 4@104:tcsa(5@105:tcsa(6@106:tcsa)) "
         "4'chapter'(3'x'@103:csa 6'y'@106:csa)",
         ""},
        {"99/0/nothing", "1@101:tcsa(2@102:tcsa 3@103:tcsa) 4@104:tcsa(5@105:tcsa(6@106:tcsa))",
         "99 unmatched"},
        // The second edit finds the first's record.
        {"1/0/one 1/0/again", "1'again'@101:csa 4@104:tcsa(5@105:tcsa(6@106:tcsa))",
         "1 removes 2 3"},
        // Editing a parent and a child of it, the blocks between left out.
        {"1/0 3/1 4/0", "1@101:tcsa(3@103:tcsa) 4@104:tcsa", "1 removes 2; 4 removes 5 6"},
    };
    for (const auto& c : cases) {
        std::vector<BookmarkRecord> merged = Input(outline);
        Warnings warnings;
        MergeBookmarks(merged, Read(c.edits), warnings);
        EXPECT_EQ(Shape(merged), c.expected) << c.edits;
        EXPECT_EQ(Reports(warnings), c.reports) << c.edits;
    }
}

TEST(MergeTest, ChainedReplacementsStayWithinTheDepthLimit) {
    // Each edit replaces the child the one before brought in, with a child of its own.
    std::string edits;
    for (int i = 1; i <= 3000; ++i)
        edits += std::to_string(i) + "/0 " + std::to_string(i + 1) + "/1 ";
    std::vector<BookmarkRecord> merged = Input("1/0");
    Warnings warnings;
    MergeBookmarks(merged, Read(edits), warnings);
    EXPECT_EQ(Reports(warnings), "");
    size_t depth = 0, items = 0;
    for (const std::vector<BookmarkRecord>* level = &merged; !level->empty(); ++depth) {
        items += level->size();
        level = &level->back().children;
    }
    EXPECT_EQ(depth, 256u);
    EXPECT_EQ(items, 3001u);
}

}  // namespace
