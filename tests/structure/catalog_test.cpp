// Catalogs and page trees of every wrong shape, seen through the export job.
#include "structure/catalog.h"

#include <gtest/gtest.h>

#include "support/fixture.h"
#include "support/harness.h"

namespace {

// What an export of the objects (numbered from 1) prints after the input's name.
std::string ExportOf(const std::vector<std::string>& bodies) {
    std::string text;
    for (size_t i = 0; i < bodies.size(); ++i) {
        text += std::to_string(i + 1) + " 0 obj " + bodies[i] + " endobj\n";
    }
    fixture::TempDir dir;
    fixture::WriteFile(dir.file("in.pdf"), fixture::BuildPdf(text));
    const std::string out = fixture::RunProgram({"-iin.pdf", "-ex.xml"}, dir.path()).out;
    const std::string rest = out.substr(std::string("Input file: 'in.pdf'").size());
    // A failure's message stands on a line of its own.
    return rest.rfind('\n', 0) == 0 ? rest.substr(1) : rest;
}

TEST(CatalogTest, WrongShapesAndLoopsGiveTheirMessages) {
    const std::string catalog = "<< /Type /Catalog /Pages 2 0 R >>";
    const std::string kids = "Kids CPdfElement is wrong type\n";
    const std::string page = "<< /Type /Page >>";
    const struct {
        std::vector<std::string> objects;
        std::string expected;
    } cases[] = {
        {{"42"}, "Catalog CPdfElement is wrong type\n"},
        {{"<< /Type /Catalog >>"}, "Top-level pages CPdfElement is wrong type\n"},
        {{catalog, "<< /Type /Pages >>"},  // Count is checked before Kids
         "Page count in top-level pages CPdfElement is wrong type\n"},
        {{catalog, "<< /Count 0 >>"}, kids},
        {{catalog, "<< /Kids [3 0 R] /Count 1 >>", "(leaf)"}, "Kid CPdfElement is wrong type\n"},
        // Only a Type of Page makes a leaf; anything else is a node and lacks Kids.
        {{catalog, "<< /Kids [3 0 R] /Count 1 >>", "<< /MediaBox [0 0 1 1] >>"}, kids},
        {{catalog, "<< /Kids [] /Count 0 >>"}, ", XML output file: 'x.xml'\n\nDone.\n"},
        // Loops end: a node met twice is refused, a page listed twice counts twice.
        {{catalog, "<< /Kids [3 0 R] /Count 1 >>", "<< /Kids [2 0 R] >>"}, kids},
        {{catalog, "<< /Kids [3 0 R 3 0 R] /Count 2 >>", "<< /Kids [4 0 R] >>", page}, kids},
        {{catalog, "<< /Type /Pages /Kids [3 0 R 3 0 R] /Count 2 >>", page},
         ", XML output file: 'x.xml'\n\nDone.\n"},
        // Count plays no part; Rotate is read from integers only.
        {{catalog, "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 9.0 >>",
          "<< /Type /Page /Rotate -90 /Resources 5 0 R >>", "<< /Type /Page /Rotate 90.0 >>", "5"},
         ", XML output file: 'x.xml'\n\nDone.\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(ExportOf(c.objects), c.expected) << c.objects.back();

    // A chain of single-kid nodes: deep trees read, over-deep ones are refused.
    const std::string done = ", XML output file: 'x.xml'\n\nDone.\n";
    for (int depth : {40, Catalog::kMaxTreeDepth + 20}) {
        std::vector<std::string> chain{catalog};
        for (int n = 2; n < depth + 2; ++n) {
            chain.push_back("<< /Type /Pages /Count 1 /Kids [" + std::to_string(n + 1) +
                            " 0 R] >>");
        }
        chain.push_back(page);
        EXPECT_EQ(ExportOf(chain), depth == 40 ? done : kids);
    }
}

}  // namespace
