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
    // "<kind> <page object>", "none", or the message of the failure.
    std::string find(const std::string& name) const {
        try {
            auto dest = document.getCatalog()->findDest(name);
            if (!dest) return "none";
            return std::string(kDestKindNames[dest->kind]) + " " +
                   std::to_string(dest->pageRef.number);
        } catch (const CPdfException& failure) {
            return failure.Message();
        }
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
        {{catalog, "<< /Kids [3 0 R 3 0 R 4 0 R] /Count 3 >>", page, page},
         "pages: 3/0 3/0 4/0"},
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
            chain.push_back("<< /Type /Pages /Count 1 /Kids [" + std::to_string(n + 1) + " 0 R] >>");
        }
        chain.push_back(page);
        const std::string last = std::to_string(chain.size());
        EXPECT_EQ(Opened(Objects(chain)).summary(), depth == 40 ? "pages: " + last + "/0" : kids);
    }
}

TEST(CatalogTest, NamedDestinationsFromDictionaryThenNameTree) {
    const std::string bad = "Bad named destination value\n";
    std::string text = Objects({"", "", "", "",
                                "<< /both [3 0 R /Fit] /viaD << /D [4 0 R /FitH 700] >> /nul null"
                                " /int 3 /noD << /S /GoTo >> /badArray [3 0 R /fit] >>",
                                "<< /Kids [7 0 R 8 0 R 9 0 R 10 0 R] >>",
                                "<< /Names [(a) [3 0 R /Fit]] >>",
                                "<< /Limits [(a) (nul)] /Names [(a\\000b) [4 0 R /FitBV 1]"
                                " (badLeaf) 11 0 R (both) [4 0 R /FitB] (k1) [3 0 R /Fit]"
                                " /k2 [3 0 R /Fit] (k3) [4 0 R /Fit] (k5) [4 0 R /FitB]"
                                " (nul) [4 0 R /FitV 1]] /Kids [9 0 R] >>",
                                "<< /Limits [(k3) (k4)] /Names [(k3a) [3 0 R /FitV 2]] >>",
                                "<< /Limits [(y) (\\351)] /Kids [12 0 R 6 0 R] >>", "/aName",
                                "<< /Limits [(z) (\\351)] /Names [(z) [4 0 R /XYZ]"
                                " (\\351) [4 0 R /FitR 1 2 3 4]] >>"});
    text.erase(0, Objects({"", "", "", ""}).size());
    const Opened opened(fixture::Pages(2, "/Dests 5 0 R /Names << /Dests 6 0 R >>") + text);
    ASSERT_EQ(opened.summary(), "pages: 3/0 4/0");
    // Limits choose the kids searched, by unsigned bytes; a kid without Limits,
    // a key that is not a string and the kids of a node with Names are skipped.
    const std::pair<std::string, std::string> cases[] = {
        {"both", "Fit 3"},   {"viaD", "FitH 4"},   {"nul", "FitV 4"},  {"badArray", "none"},
        {"missing", "none"}, {"int", bad},         {"noD", bad},       {"badLeaf", bad},
        {"k1", "Fit 3"},     {"k2", "none"},       {"k3", "Fit 4"},    {"k5", "FitB 4"},
        {"k3a", "FitV 3"},   {"a", "none"},        {"z", "XYZ 4"},     {"\xE9", "FitR 4"},
        {"yy", "none"},      {std::string("a\0b", 3), "FitBV 4"},
    };
    for (const auto& [name, expected] : cases) EXPECT_EQ(opened.find(name), expected) << name;
}

}  // namespace
