#include "structure/catalog.h"

#include <gtest/gtest.h>

#include "opened_document.h"

namespace {

using structure_test::Document;
using structure_test::OpenedDocument;
using structure_test::OpenResult;

const std::string kCatalog = "<< /Type /Catalog /Pages 2 0 R >>";

// Opens catalog 1, pages root 2 and the given objects from 3 on.
std::string Tree(const std::string& root, const std::vector<std::string>& more = {}) {
    structure_test::Objects objects{{1, kCatalog}, {2, root}};
    for (size_t i = 0; i < more.size(); ++i) objects.push_back({3 + static_cast<int>(i), more[i]});
    return OpenResult(Document(objects));
}

TEST(CatalogTest, WrongShapesRaiseTheirMessages) {
    const std::string kids = "Kids CPdfElement is wrong type\n";
    const std::string count = "Page count in top-level pages CPdfElement is wrong type\n";
    EXPECT_EQ(OpenResult(Document({{1, "42"}})), "Catalog CPdfElement is wrong type\n");
    EXPECT_EQ(OpenResult(Document({{1, "<< /Type /Catalog >>"}})),
              "Top-level pages CPdfElement is wrong type\n");
    EXPECT_EQ(Tree("[/Kids []]"), "Top-level pages CPdfElement is wrong type\n");
    EXPECT_EQ(Tree("<< /Type /Pages >>"), count);  // Count is checked before Kids
    EXPECT_EQ(Tree("<< /Kids [] /Count /5 >>"), count);
    EXPECT_EQ(Tree("<< /Count 0 >>"), kids);
    EXPECT_EQ(Tree("<< /Kids [3 0 R] /Count 1 >>", {"(leaf)"}), "Kid CPdfElement is wrong type\n");
    // A leaf is a page only when its own Type is the name Page; anything else
    // is taken for an intermediate node and lacks Kids.
    EXPECT_EQ(Tree("<< /Kids [3 0 R] /Count 1 >>", {"<< /MediaBox [0 0 612 792] >>"}), kids);
    EXPECT_EQ(Tree("<< /Kids [3 0 R] /Count 1 >>", {"<< /Type 4 0 R >>", "/Page"}), kids);
    EXPECT_EQ(Tree("<< /Kids [] /Count 0 >>"), "pages 0");
}

TEST(CatalogTest, PagesAreNumberedDepthFirstAndRotationIsNormalised) {
    // Count (a real, and wrong) plays no part: the walk decides the page count.
    OpenedDocument opened(Document({
        {1, "<< /Type /Catalog /Pages 2 0 R /Names << /JavaScript 9 0 R >> >>"},
        {2, "<< /Type /Pages /Kids [3 0 R 4 0 R << /Kids [5 0 R] >>] /Count 9.0 >>"},
        {3, "<< /Kids [6 0 R 7 0 R 8 0 R] >>"},
        {4, "<< /Type /Page /Rotate -90 /Contents (text) /Resources 9 0 R >>"},
        {5, "<< /Type /Page /Rotate 450 /Contents [9 0 R] >>"},
        {6, "<< /Type /Page /Rotate 720 /Contents 9 0 R /Resources << /Font << >> >> >>"},
        {7, "<< /Type /Page /Rotate -2147483648 >>"},
        {8, "<< /Type /Page /Rotate 90.0 >>"},
        {9, "5"},
    }));
    const CPdfCatalog& catalog = *opened.document.getCatalog();
    ASSERT_EQ(catalog.getPageCount(), 5);
    const int expectedRotate[5] = {0, 232, 0, 270, 90};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(catalog.pages[i].number, static_cast<uint32_t>(i + 1));
        EXPECT_EQ(catalog.pages[i].rotate, expectedRotate[i]) << "page " << i + 1;
    }
    EXPECT_TRUE(catalog.pages[0].contents.isRef());
    EXPECT_TRUE(catalog.pages[0].resources.isDict());
    EXPECT_TRUE(catalog.pages[1].contents.isNull());  // no Contents
    EXPECT_TRUE(catalog.pages[3].contents.isNull());  // a string is not kept
    EXPECT_TRUE(catalog.pages[3].resources.isNone());
    EXPECT_TRUE(catalog.pages[4].contents.isArray());

    EXPECT_TRUE(catalog.outlines.isNull());
    EXPECT_TRUE(catalog.dests.isNull());
    EXPECT_TRUE(catalog.nameTree.isNull());  // a Names dictionary without Dests
    EXPECT_EQ(opened.document.getOutline()->items, nullptr);
}

TEST(CatalogTest, KidsLoopsAndOverDeepTreesRaiseInsteadOfHanging) {
    const std::string kids = "Kids CPdfElement is wrong type\n";
    EXPECT_EQ(Tree("<< /Kids [3 0 R] /Count 1 >>", {"<< /Kids [2 0 R] >>"}), kids);
    EXPECT_EQ(Tree("<< /Kids [3 0 R] /Count 1 >>", {"<< /Kids [3 0 R] >>"}), kids);
    // A node met twice is refused; a page listed twice counts twice.
    EXPECT_EQ(
        Tree("<< /Kids [3 0 R 3 0 R] /Count 2 >>", {"<< /Kids [4 0 R] >>", "<< /Type /Page >>"}),
        kids);
    EXPECT_EQ(Tree("<< /Kids [3 0 R 3 0 R 4 0 R] /Count 3 >>",
                   {"<< /Type /Page >>", "<< /Type /Page >>"}),
              "pages 3");

    // A chain of single-kid nodes from object 2 down to a page.
    auto chain = [](int nodes) {
        std::vector<std::string> more;
        for (int n = 3; n < nodes + 2; ++n)
            more.push_back("<< /Kids [" + std::to_string(n + 1) + " 0 R] >>");
        more.push_back("<< /Type /Page >>");
        return Tree("<< /Count 1 /Kids [3 0 R] >>", more);
    };
    EXPECT_EQ(chain(40), "pages 1");
    EXPECT_EQ(chain(CPdfCatalog::kMaxTreeDepth + 20), kids);
}

}  // namespace
