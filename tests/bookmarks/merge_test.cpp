#include "bookmarks/merge.h"

#include <gtest/gtest.h>

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

// The tree as "item" or "item'name'" with children in parentheses.
std::string Shape(const std::vector<BookmarkRecord>& records) {
    std::string out;
    for (const BookmarkRecord& r : records) {
        out += (out.empty() ? "" : " ") + std::to_string(r.item) +
               (r.title.empty() ? "" : "'" + r.title + "'") +
               (r.children.empty() ? "" : "(" + Shape(r.children) + ")");
    }
    return out;
}

TEST(MergeTest, EditsApplyOnceInFileOrder) {
    const std::string outline = "1/0 2/1 3/1 4/0 5/1 6/2";
    const struct {
        std::string edits;
        std::string expected;
    } cases[] = {
        {outline, "1(2 3) 4(5(6))"},  // the whole export changes nothing
        {"1/0 2/1 3/1 7/1/new/i 4/0 5/1 6/2",
         "1(2 3 7'new') 4(5(6))"},  // one insert, where it stands
        {"5/0/renamed",
         "1(2 3) 4(5'renamed')"},  // a child renamed (it takes the record's children)
        {"2/0/a/i 2/0/b/i 2/0/c/i", "1(2 2'a' 2'b' 2'c' 3) 4(5(6))"},
        {"4/0/chapter/i 3/1/x 6/1/y", "1(2 3) 4(5(6)) 4'chapter'(3'x' 6'y')"},
        {"99/0/nothing", "1(2 3) 4(5(6))"},
        {"1/0/one 1/0/again", "1'again' 4(5(6))"},  // the second edit finds the first's record
    };
    for (const auto& c : cases) {
        std::vector<BookmarkRecord> merged = Read(outline);
        MergeBookmarks(merged, Read(c.edits));
        EXPECT_EQ(Shape(merged), c.expected) << c.edits;
    }
    std::vector<BookmarkRecord> merged = Read(outline);
    EXPECT_EQ(MergeBookmarks(merged, Read("99/0 -5/0 3/0/x")), (std::vector<int32_t>{99, -5}));
}

TEST(MergeTest, ChainedReplacementsStayWithinTheDepthLimit) {
    // Each edit replaces the child the one before brought in, with a child of its own.
    std::string edits;
    for (int i = 1; i <= 3000; ++i)
        edits += std::to_string(i) + "/0 " + std::to_string(i + 1) + "/1 ";
    std::vector<BookmarkRecord> merged = Read("1/0");
    EXPECT_TRUE(MergeBookmarks(merged, Read(edits)).empty());
    size_t depth = 0, items = 0;
    for (const std::vector<BookmarkRecord>* level = &merged; !level->empty(); ++depth) {
        items += level->size();
        level = &level->back().children;
    }
    EXPECT_EQ(depth, 256u);
    EXPECT_EQ(items, 3001u);
}

}  // namespace
