#include <gtest/gtest.h>

#include "opened_document.h"
#include "structure/catalog.h"

namespace {

using structure_test::OpenedDocument;

// Two pages (3 0 R and 4 0 R) and the given objects from 5 on.
fixture::PdfBuilder TwoPages(const std::string& catalogExtra,
                             const std::vector<std::string>& bodies) {
    fixture::PdfBuilder builder = fixture::simpleDocument(2, catalogExtra);
    for (size_t i = 0; i < bodies.size(); ++i) builder.object(5 + static_cast<int>(i), bodies[i]);
    return builder;
}

// "<kind> <page object>", "none", or the message of the failure.
std::string Find(const OpenedDocument& opened, const std::string& name) {
    try {
        auto dest = opened.document.getCatalog()->findDest(name);
        if (!dest) return "none";
        return std::string(kDestKindNames[dest->kind]) + " " + std::to_string(dest->pageRef.number);
    } catch (const CPdfException& failure) {
        return failure.Message();
    }
}

TEST(NamedDestTest, DictionaryComesFirstThenNameTree) {
    const std::string bad = "Bad named destination value\n";
    OpenedDocument opened(
        TwoPages("/Dests 5 0 R /Names << /Dests 6 0 R >>",
                 {"<< /both [3 0 R /Fit] /viaD << /D [4 0 R /FitH 700] >> /nul null /int 3"
                  " /noD << /S /GoTo >> /stringD << /D (x) >> /badArray [3 0 R /fit] >>",
                  "<< /Names [(badLeaf) 7 0 R (both) [4 0 R /FitB] (nul) [4 0 R /FitV 1]"
                  " (tree) [3 0 R /XYZ]] >>",
                  "/aName"}));
    EXPECT_EQ(Find(opened, "both"), "Fit 3");
    EXPECT_EQ(Find(opened, "viaD"), "FitH 4");
    EXPECT_EQ(Find(opened, "nul"), "FitV 4");  // a null value in the dictionary is no value
    EXPECT_EQ(Find(opened, "tree"), "XYZ 3");
    EXPECT_EQ(Find(opened, "badArray"), "none");
    EXPECT_EQ(Find(opened, "missing"), "none");
    EXPECT_EQ(Find(opened, "int"), bad);
    EXPECT_EQ(Find(opened, "noD"), bad);
    EXPECT_EQ(Find(opened, "stringD"), bad);
    EXPECT_EQ(Find(opened, "badLeaf"), bad);

    OpenedDocument plain(fixture::simpleDocument(1));
    EXPECT_EQ(Find(plain, "both"), "none");
}

TEST(NamedDestTest, LeafWalkSkipsNonStringKeysAndStopsEarly) {
    // The root has Names, so its Kids (which would hold k2) are never searched.
    OpenedDocument opened(TwoPages("/Names << /Dests 5 0 R >>",
                                   {"<< /Names [(a\\000b) [4 0 R /FitBV 1] (k1) [3 0 R /Fit]"
                                    " /k2 [3 0 R /Fit] (k3) [4 0 R /Fit] (k5) [4 0 R /FitB] (k7)]"
                                    " /Kids [6 0 R] >>",
                                    "<< /Limits [(k0) (k9)] /Names [(k2) [4 0 R /Fit]"
                                    " (k4) [4 0 R /Fit] (k7) [4 0 R /Fit]] >>"}));
    EXPECT_EQ(Find(opened, "k1"), "Fit 3");
    EXPECT_EQ(Find(opened, "k3"), "Fit 4");
    EXPECT_EQ(Find(opened, "k5"), "FitB 4");
    EXPECT_EQ(Find(opened, "k2"), "none");
    EXPECT_EQ(Find(opened, "k4"), "none");
    EXPECT_EQ(Find(opened, "k7"), "none");                       // a last key without a value
    EXPECT_EQ(Find(opened, std::string("a\0b", 3)), "FitBV 4");  // keys keep their zero bytes
    EXPECT_EQ(Find(opened, "a"), "none");
}

TEST(NamedDestTest, KidsAreSearchedWithinTheirLimitsByUnsignedBytes) {
    OpenedDocument opened(TwoPages(
        "/Names << /Dests 5 0 R >>",
        {"<< /Kids [6 0 R 7 0 R 8 0 R 9 0 R 10 0 R] >>", "<< /Names [(a) [3 0 R /Fit]] >>",
         "<< /Limits [/k1 (k9)] /Names [(k1) [3 0 R /Fit]] >>",
         "<< /Limits [(k2) (k4)] /Names [(k1) [3 0 R /Fit] (k2) [3 0 R /FitB] (k3) [4 0 R /Fit]"
         " (k4) [4 0 R /FitB] (k5) [4 0 R /Fit]] >>",
         "<< /Limits [(k3) (k4)] /Names [(k3a) [3 0 R /FitV 2]] >>",
         "<< /Limits [(y) (\\351)] /Names [(y) [3 0 R /XYZ] (z) [4 0 R /XYZ]"
         " (\\351) [4 0 R /FitR 1 2 3 4]] >>"}));
    EXPECT_EQ(Find(opened, "a"), "none");   // kid without Limits
    EXPECT_EQ(Find(opened, "k1"), "none");  // outside every usable Limits
    EXPECT_EQ(Find(opened, "k2"), "FitB 3");
    EXPECT_EQ(Find(opened, "k3"), "Fit 4");
    EXPECT_EQ(Find(opened, "k4"), "FitB 4");
    EXPECT_EQ(Find(opened, "k5"), "none");
    EXPECT_EQ(Find(opened, "k3a"), "FitV 3");  // the first admitting kid lacks it; the next has it
    EXPECT_EQ(Find(opened, "z"), "XYZ 4");
    EXPECT_EQ(Find(opened, "\xE9"), "FitR 4");  // 0xE9 orders after z
}

TEST(NamedDestTest, NameTreeLoopEndsAsNotFound) {
    OpenedDocument opened(TwoPages("/Names << /Dests 5 0 R >>",
                                   {"<< /Limits [(a) (z)] /Kids [6 0 R] >>",
                                    "<< /Limits [(a) (z)] /Kids [6 0 R 5 0 R 7 0 R] >>",
                                    "<< /Limits [(m) (m)] /Names [(m) [3 0 R /Fit]] >>"}));
    EXPECT_EQ(Find(opened, "q"), "none");
    EXPECT_EQ(Find(opened, "m"), "Fit 3");
}

}  // namespace
