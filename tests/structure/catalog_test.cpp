// Catalogs and page trees of every wrong shape, seen through the export job.
#include "structure/catalog.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "structure/document.h"
#include "structure/page_table.h"
#include "support/fixture.h"
#include "support/harness.h"

namespace {

// The pages a document's page tree gives (their objects' numbers; "?" for a
// kid that cannot be read) and the warnings its reading gives, or the
// message it is refused with.
std::string PagesOf(const std::vector<std::string>& bodies) {
    std::string text;
    for (size_t i = 0; i < bodies.size(); ++i) {
        text += std::to_string(i + 1) + " 0 obj " + bodies[i] + " endobj\n";
    }
    fixture::TempDir dir;
    fixture::WriteFile(dir.file("in.pdf"), fixture::BuildPdf(text));
    Document document;
    Warnings warnings;
    try {
        document.open(dir.file("in.pdf"), warnings);
    } catch (const Error& failure) {
        return failure.message();
    }
    std::string out = "pages:";
    for (const Page& page : document.catalog().pages()) {
        out += " " + (page.ref.number > 0 ? std::to_string(page.ref.number) : "?");
    }
    for (const std::string& line : warnings.lines()) out += "\n" + line;
    return out;
}

// A page tree of any shape gives its pages; what cannot be read counts as one
// page, or (a node met again) as none, with a warning. Only a catalog that is
// no dictionary refuses the file.
TEST(CatalogTest, PageTreesOfEveryShapeGiveTheirPages) {
    const std::string catalog = "<< /Type /Catalog /Pages 2 0 R >>";
    const std::string page = "<< /Type /Page >>";
    const struct {
        std::vector<std::string> objects;
        std::string expected;
    } cases[] = {
        {{"42"}, "Catalog CPdfElement is wrong type\n"},
        {{"<< /Type /Catalog >>"},
         "pages:\nWarning: the page tree cannot be read; go-tos find no page"},
        // Count plays no part; a node without Kids holds nothing.
        {{catalog, "<< /Type /Pages >>"}, "pages:"},
        {{catalog, "<< /Count 0 >>"}, "pages:"},
        {{catalog, "<< /Kids [3 0 R 4 0 R] /Count 9.0 >>", "(leaf)", page},
         "pages: ? 4\nWarning: page 1 (object 3 0 R) cannot be read; it is counted as a page"},
        {{catalog, "<< /Kids [9 0 R 3 0 R] >>", page},
         "pages: ? 3\nWarning: page 1 (object 9 0 R) cannot be read; it is counted as a page"},
        // Without a Type, what has no Kids is a page.
        {{catalog, "<< /Kids [3 0 R 4 0 R] /Count 2 >>", "<< /MediaBox [0 0 1 1] >>",
          "<< /Kids [5 0 R] >>", page},
         "pages: 3 5"},
        {{catalog, "<< /Kids [] /Count 0 >>"}, "pages:"},
        // Loops end: a node met twice is left out, a page listed twice counts twice.
        {{catalog, "<< /Kids [3 0 R] /Count 1 >>", "<< /Kids [2 0 R 4 0 R] >>", page},
         "pages: 4\nWarning: the page tree node object 2 0 R is met again or lies too deep; its "
         "pages are not counted"},
        {{catalog, "<< /Type /Pages /Kids [3 0 R 3 0 R] /Count 2 >>", page}, "pages: 3 3"},
    };
    for (const auto& c : cases) EXPECT_EQ(PagesOf(c.objects), c.expected) << c.objects.back();

    // A chain of single-kid nodes: deep trees read, an over-deep one ends where
    // it gets too deep.
    for (int depth : {40, Catalog::kMaxTreeDepth + 20}) {
        std::vector<std::string> chain{catalog};
        for (int n = 2; n < depth + 2; ++n) {
            chain.push_back("<< /Type /Pages /Count 1 /Kids [" + std::to_string(n + 1) +
                            " 0 R] >>");
        }
        chain.push_back(page);
        const std::string pages = PagesOf(chain);
        EXPECT_EQ(pages.substr(0, pages.find('\n')),
                  depth == 40 ? "pages: " + std::to_string(depth + 2) : "pages:");
    }
}

// A page object listed twice is known by its first place; what is no page is page 0.
TEST(CatalogTest, PagesListedTwiceAreKnownByTheirFirstPlace) {
    const std::string page = " 0 obj << /Type /Page >> endobj\n";
    fixture::TempDir dir;
    fixture::WriteFile(dir.file("in.pdf"),
                       fixture::BuildPdf("1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
                                         "2 0 obj << /Kids [5 0 R 3 0 R 5 0 R 4 0 R] >> endobj\n"
                                         "3" +
                                         page + "4" + page + "5" + page));
    Document document;
    Warnings warnings;
    document.open(dir.file("in.pdf"), warnings);
    const PageTable pages = PageTable::Build(document.catalog());
    ASSERT_EQ(pages.count(), 4u);
    std::string out;
    for (uint32_t object = 0; object <= 6; ++object) {
        out += std::to_string(object) + ":" + std::to_string(pages.pageOf(object)) + " ";
    }
    EXPECT_EQ(out, "0:0 1:0 2:0 3:2 4:4 5:1 6:0 ");
    EXPECT_EQ(pages.objectOf(3), 5u);
}

}  // namespace
