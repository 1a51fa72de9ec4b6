// Named destinations in name trees: ordered trees are searched by halves;
// a name their limits hide is found in the whole tree.
#include <gtest/gtest.h>

#include "structure/catalog.h"
#include "structure/document.h"
#include "support/fixture.h"
#include "support/harness.h"

namespace {

// Opens a document whose /Names /Dests tree is object 10 (with the objects
// given) and shows, for each name, the page object its destination names, or "-".
std::string Lookups(const std::string& tree, const std::vector<std::string>& names) {
    fixture::TempDir dir;
    fixture::WriteFile(dir.file("in.pdf"),
                       fixture::BuildPdf(fixture::Pages(3, "/Names << /Dests 10 0 R >>") + tree));
    Document document;
    Warnings warnings;
    document.open(dir.file("in.pdf"), warnings);
    std::string out;
    for (const std::string& name : names) {
        const auto dest = document.catalog().findDest(name);
        out += name + "=" + (dest ? std::to_string(dest->pageRef.number) : "-") + " ";
    }
    return out;
}

// A leaf with the names given, each going to page object `page`.
std::string Leaf(int number, const std::string& limits, const std::vector<std::string>& names,
                 int page) {
    std::string pairs;
    for (const std::string& name : names)
        pairs += "(" + name + ") [" + std::to_string(page) + " 0 R /Fit] ";
    return std::to_string(number) + " 0 obj << " + (limits.empty() ? "" : "/Limits " + limits) +
           " /Names [" + pairs + "] >> endobj\n";
}

TEST(NameTreeTest, OrderedAndDisorderedTreesFindWhatAScanFinds) {
    const std::vector<std::string> probes{"a", "b", "c", "d", "e", "f", "g", "h", "k", "m", "z"};
    const struct {
        const char* what;
        std::string tree;
        std::string expected;
    } cases[] = {
        {"ordered kids and leaves",
         "10 0 obj << /Kids [11 0 R 12 0 R 13 0 R] >> endobj\n" +
             Leaf(11, "[(b) (c)]", {"b", "c"}, 3) + Leaf(12, "[(e) (f)]", {"e", "f"}, 4) +
             Leaf(13, "[(h) (m)]", {"h", "k", "m"}, 5),
         "a=- b=3 c=3 d=- e=4 f=4 g=- h=5 k=5 m=5 z=- "},
        {"a leaf out of order: what the search misses, the whole tree holds",
         "10 0 obj << /Kids [11 0 R] >> endobj\n" + Leaf(11, "[(a) (z)]", {"c", "a", "k", "b"}, 3),
         "a=3 b=3 c=3 d=- e=- f=- g=- h=- k=3 m=- z=- "},
        {"overlapping limits: every kid that may hold the name, in order",
         "10 0 obj << /Kids [11 0 R 12 0 R] >> endobj\n" + Leaf(11, "[(a) (m)]", {"a", "c"}, 3) +
             Leaf(12, "[(b) (z)]", {"b", "c", "k"}, 4),
         "a=3 b=4 c=3 d=- e=- f=- g=- h=- k=4 m=- z=- "},
        {"a shared boundary: the second kid is searched when the first lacks the name",
         "10 0 obj << /Kids [11 0 R 12 0 R] >> endobj\n" + Leaf(11, "[(a) (e)]", {"a"}, 3) +
             Leaf(12, "[(e) (z)]", {"e", "z"}, 4),
         "a=3 b=- c=- d=- e=4 f=- g=- h=- k=- m=- z=4 "},
        {"kids without limits or with reversed limits are searched whole; others hold nothing",
         "10 0 obj << /Kids [11 0 R 12 0 R 14 0 R 15 0 R 13 0 R] >> endobj\n" +
             Leaf(11, "", {"a"}, 3) + Leaf(12, "[(z) (a)]", {"b"}, 3) + "14 0 obj 7 endobj\n" +
             Leaf(15, "[1 (z)]", {"d"}, 4) + Leaf(13, "[(c) (k)]", {"c", "k"}, 5),
         "a=3 b=3 c=5 d=4 e=- f=- g=- h=- k=5 m=- z=- "},
        {"a name a kid holds beyond its limits is taken where the limits hold it",
         "10 0 obj << /Kids [11 0 R 12 0 R] >> endobj\n" + Leaf(11, "[(a) (b)]", {"a", "k"}, 3) +
             Leaf(12, "[(h) (z)]", {"k", "z"}, 4),
         "a=3 b=- c=- d=- e=- f=- g=- h=- k=4 m=- z=4 "},
        {"the same, with kids out of order",
         "10 0 obj << /Kids [11 0 R 13 0 R 12 0 R] >> endobj\n" +
             Leaf(11, "[(a) (b)]", {"a", "k"}, 3) + Leaf(13, "[(m) (n)]", {"m"}, 5) +
             Leaf(12, "[(h) (z)]", {"k", "z"}, 4),
         "a=3 b=- c=- d=- e=- f=- g=- h=- k=4 m=5 z=4 "},
        {"a key given by reference",
         "10 0 obj << /Names [11 0 R [3 0 R /Fit] (k) [4 0 R /Fit]] >> endobj\n11 0 obj (c) "
         "endobj\n",
         "a=- b=- c=3 d=- e=- f=- g=- h=- k=4 m=- z=- "},
        {"a kid that lists itself",
         "10 0 obj << /Kids [11 0 R 12 0 R] >> endobj\n" + Leaf(11, "[(a) (c)]", {"a"}, 3) +
             "12 0 obj << /Limits [(a) (z)] /Kids [12 0 R 13 0 R] >> endobj\n" +
             Leaf(13, "[(k) (k)]", {"k"}, 4),
         "a=3 b=- c=- d=- e=- f=- g=- h=- k=4 m=- z=- "},
    };
    for (const auto& c : cases) EXPECT_EQ(Lookups(c.tree, probes), c.expected) << c.what;
}

}  // namespace
