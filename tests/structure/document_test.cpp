#include "structure/document.h"

#include <gtest/gtest.h>

#include "base/exception.h"
#include "structure/catalog.h"
#include "structure/page_table.h"
#include "support/fixture.h"
#include "support/harness.h"

namespace {

// Objects "N 0 obj <body> endobj" numbered from 1.
std::string Objects(const std::vector<std::string>& bodies) {
    std::string text;
    for (size_t i = 0; i < bodies.size(); ++i) {
        text += std::to_string(i + 1) + " 0 obj\n" + bodies[i] + "\nendobj\n";
    }
    return text;
}

// Opens the file in a fresh folder and keeps it open for the test.
struct Opened {
    explicit Opened(const std::string& text) {
        fixture::WriteFile(dir.file("in.pdf"), fixture::BuildPdf(text));
        try {
            document.open(dir.file("in.pdf"));
            file.reset(std::fopen(dir.file("in.pdf").c_str(), "rb"));
            RawObjects raw(file.get(), *document.getXRef());
            pages = PageTable::Build(raw, *document.getCatalog(),
                                     static_cast<uint32_t>(document.getXRef()->rootNum));
        } catch (const CPdfException& failure) {
            message = failure.Message();
        }
    }
    // "pages: object/rotation ..." or the message the open raised.
    std::string summary() const {
        if (!message.empty()) return message;
        std::string text = "pages:";
        const CPdfCatalog& catalog = *document.getCatalog();
        for (int i = 0; i < catalog.getPageCount(); ++i) {
            const uint32_t object = i < static_cast<int>(pages.count()) ? pages.objectOf(i + 1) : 0;
            text += " " + std::to_string(object) + "/" + std::to_string(catalog.pages[i].rotate);
        }
        return text;
    }
    fixture::TempDir dir;
    CPdfDocument document;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file{nullptr, std::fclose};
    PageTable pages;
    std::string message;
};

TEST(CatalogTest, CatalogAndPageTreeShapes) {
    const std::string catalog = "<< /Type /Catalog /Pages 2 0 R >>";
    const std::string kids = "Kids CPdfElement is wrong type\n";
    const std::string count = "Page count in top-level pages CPdfElement is wrong type\n";
    const std::string page = "<< /Type /Page >>";
    struct Case {
        std::vector<std::string> objects;
        std::string expected;
    } cases[] = {
        {{"42"}, "Catalog CPdfElement is wrong type\n"},
        {{"<< /Type /Catalog >>"}, "Top-level pages CPdfElement is wrong type\n"},
        {{catalog, "[/Kids []]"}, "Top-level pages CPdfElement is wrong type\n"},
        {{catalog, "<< /Type /Pages >>"}, count},  // Count is checked before Kids
        {{catalog, "<< /Kids [] /Count /5 >>"}, count},
        {{catalog, "<< /Count 0 >>"}, kids},
        {{catalog, "<< /Kids [3 0 R] /Count 1 >>", "(leaf)"}, "Kid CPdfElement is wrong type\n"},
        // Only a Type of Page makes a leaf; anything else is a node and lacks Kids.
        {{catalog, "<< /Kids [3 0 R] /Count 1 >>", "<< /MediaBox [0 0 1 1] >>"}, kids},
        {{catalog, "<< /Kids [] /Count 0 >>"}, "pages:"},
        // Loops end; a node met twice is refused, a page listed twice counts twice.
        {{catalog, "<< /Kids [3 0 R] /Count 1 >>", "<< /Kids [2 0 R] >>"}, kids},
        {{catalog, "<< /Kids [3 0 R 3 0 R] /Count 2 >>", "<< /Kids [4 0 R] >>", page}, kids},
        {{catalog, "<< /Kids [3 0 R 3 0 R 4 0 R] /Count 3 >>", page, page}, "pages: 3/0 3/0 4/0"},
        // Count plays no part; pages are numbered depth first; rotation is
        // normalised to 0, 90, 180 or 270 and read from integers only.
        {{"<< /Type /Catalog /Pages 2 0 R /Names << /JavaScript 9 0 R >> >>",
          "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 9.0 >>",
          "<< /Type /Pages /Kids [6 0 R 7 0 R 8 0 R] >>", "<< /Type /Page /Rotate -90 >>", "5",
          "<< /Type /Page /Rotate 720 >>", "<< /Type /Page /Rotate 450 >>",
          "<< /Type /Page /Rotate 90.0 >>"},
         "pages: 6/0 7/90 8/0 4/270"},
    };
    for (const Case& c : cases) EXPECT_EQ(Opened(Objects(c.objects)).summary(), c.expected);

    // A chain of single-kid nodes: deep trees read, over-deep ones are refused.
    for (int depth : {40, CPdfCatalog::kMaxTreeDepth + 20}) {
        std::vector<std::string> chain{catalog};
        for (int n = 2; n < depth + 2; ++n) {
            chain.push_back("<< /Type /Pages /Count 1 /Kids [" + std::to_string(n + 1) +
                            " 0 R] >>");
        }
        chain.push_back(page);
        const std::string last = std::to_string(chain.size());
        EXPECT_EQ(Opened(Objects(chain)).summary(), depth == 40 ? "pages: " + last + "/0" : kids);
    }
}

}  // namespace
