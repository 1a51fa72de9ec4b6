#include "structure/outline.h"

#include <gtest/gtest.h>

#include "describe.h"
#include "opened_document.h"

namespace {

using structure_test::OpenedDocument;

// One page (3 0 R), the outline root as object 4 and the given objects from 5 on.
fixture::PdfBuilder WithOutline(const std::string& root, const std::vector<std::string>& bodies) {
    fixture::PdfBuilder builder = fixture::simpleDocument(1, "/Outlines 4 0 R");
    builder.object(4, root);
    for (size_t i = 0; i < bodies.size(); ++i) builder.object(5 + static_cast<int>(i), bodies[i]);
    return builder;
}

// Items from 5 on, each holding the given entries, chained by Next in order;
// extra objects from 100 on.
fixture::PdfBuilder Items(const std::vector<std::string>& entries,
                          const std::vector<std::string>& extra = {}) {
    std::vector<std::string> bodies;
    for (size_t i = 0; i < entries.size(); ++i) {
        bodies.push_back(
            "<< " + entries[i] +
            (i + 1 < entries.size() ? " /Next " + std::to_string(6 + i) + " 0 R" : "") + " >>");
    }
    fixture::PdfBuilder builder = WithOutline("<< /First 5 0 R >>", bodies);
    for (size_t i = 0; i < extra.size(); ++i) builder.object(100 + static_cast<int>(i), extra[i]);
    return builder;
}

const OutlineItemList& TopLevel(const OpenedDocument& opened) {
    static const OutlineItemList none;
    const CPdfOutline* outline = opened.document.getOutline();
    return outline->items ? *outline->items : none;
}

std::string Titles(const OutlineItemList* list) {
    if (list == nullptr) return "no list";
    std::string titles;
    for (const auto& item : *list) titles += (titles.empty() ? "" : " ") + item->title;
    return titles;
}

std::string TopTitles(const fixture::PdfBuilder& builder) {
    return Titles(OpenedDocument(builder).document.getOutline()->items.get());
}

std::string Actions(const CPdfOutlineItem& item) {
    std::string text;
    for (const auto& action : item.actions) {
        text += (text.empty() ? "" : ", ") + structure_test::Describe(action.get());
    }
    return text;
}

TEST(OutlineTest, TopLevelFollowsNextUpToLast) {
    EXPECT_EQ(TopTitles(fixture::simpleDocument(1, "/Outlines 5")), "no list");
    EXPECT_EQ(TopTitles(fixture::simpleDocument(1, "/Outlines << /Count 0 >>")), "");
    const std::vector<std::string> four = {"<< /Title (a) /Next 6 0 R >>",
                                           "<< /Title (b) /Next 7 0 R >>",
                                           "<< /Title (c) /Next 8 0 R >>", "<< /Title (d) >>"};
    EXPECT_EQ(TopTitles(WithOutline("<< /First 5 0 R /Last 6 0 R >>", four)), "a b");
    EXPECT_EQ(TopTitles(WithOutline("<< /First 5 0 R /Count 2 >>", four)), "a b c d");
    EXPECT_EQ(TopTitles(WithOutline("<< /First 5 0 R >>",
                                    {"<< /Title (a) /Next 6 0 R >>", "<< /Title (b) /Next 7 >>",
                                     "<< /Title (c) >>"})),
              "a b");
    EXPECT_EQ(TopTitles(WithOutline("<< /First 5 0 R >>", {"(not an item)"})), "");
    // A Next that loops back, with a Last that is never reached.
    EXPECT_EQ(
        TopTitles(WithOutline("<< /First 5 0 R /Last 9 0 R >>",
                              {"<< /Title (a) /Next 6 0 R >>", "<< /Title (b) /Next 5 0 R >>"})),
        "a b");
}

const std::vector<std::string> kTree = {
    "<< /Title (top) /First 6 0 R /Last 7 0 R >>",
    "<< /Title (a) /Next 7 0 R /First 5 0 R >>",  // a child leading back to its parent
    "<< /Title (b) /First 8 0 R >>",
    "<< /Title (c) /Next 8 0 R >>",  // its own next sibling
};

TEST(OutlineTest, ChildrenAreReadOnDemandAndLoopsEnd) {
    OpenedDocument opened(WithOutline("<< /First 5 0 R /Last 5 0 R >>", kTree));
    CPdfOutlineItem& top = *TopLevel(opened).at(0);
    EXPECT_EQ(top.kids, nullptr);
    top.openKids();
    ASSERT_EQ(Titles(top.kids.get()), "a b");
    const OutlineItemList* kids = top.kids.get();
    top.openKids();
    EXPECT_EQ(top.kids.get(), kids);  // read once while open
    kids->at(0)->openKids();
    EXPECT_EQ(Titles(kids->at(0)->kids.get()), "");
    kids->at(1)->openKids();
    EXPECT_EQ(Titles(kids->at(1)->kids.get()), "c");
    top.closeKids();
    EXPECT_EQ(top.kids, nullptr);
    top.openKids();  // read again after closing
    EXPECT_EQ(Titles(top.kids.get()), "a b");
}

size_t CountOpened(const OutlineItemList& items) {
    size_t count = items.size();
    for (const auto& item : items) {
        item->openKids();
        count += CountOpened(*item->kids);
        item->closeKids();
    }
    return count;
}

TEST(OutlineTest, SharedItemsCannotMultiplyWithoutEnd) {
    // Forty levels of two siblings that both have the next level as children:
    // 2^40 items if every path were followed.
    std::vector<std::string> bodies;
    const int levels = 40;
    for (int level = 0; level < levels; ++level) {
        const int p = 5 + 2 * level;
        const std::string kids =
            level + 1 < levels ? " /First " + std::to_string(p + 2) + " 0 R" : "";
        bodies.push_back("<< /Title (p)" + kids + " /Next " + std::to_string(p + 1) + " 0 R >>");
        bodies.push_back("<< /Title (q)" + kids + " >>");
    }
    OpenedDocument opened(WithOutline("<< /First 5 0 R >>", bodies));
    size_t read = CountOpened(TopLevel(opened));
    EXPECT_GE(read, static_cast<size_t>(2 * levels));
    EXPECT_LE(read, static_cast<size_t>(4 * 2 * levels + 1000));
}

// Items made from entries, each checked by the test against its expectation.
template <typename Expected>
void CheckItems(const std::vector<std::pair<std::string, Expected>>& cases,
                const std::vector<std::string>& extra,
                void (*check)(const CPdfOutlineItem&, const Expected&)) {
    std::vector<std::string> entries;
    for (const auto& item : cases) entries.push_back(item.first);
    OpenedDocument opened(Items(entries, extra));
    const OutlineItemList& items = TopLevel(opened);
    ASSERT_EQ(items.size(), cases.size());
    for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(cases[i].first);
        check(*items[i], cases[i].second);
    }
}

TEST(OutlineTest, DestBeatsActionAndChainsAreReadInOrder) {
    CheckItems<std::string>(
        {{"/Dest [3 0 R /Fit] /A << /S /URI /URI (u) >>", "GoTo [Fit 3.0R]"},
         {"/Dest 5", "null"},
         {"/Dest (named)", "GoTo 'named'"},
         {"/Dest 103 0 R", "GoTo [FitH 3.0R]"},
         {"/Dest null /A << /S /URI /URI (a) >>", "URI a"},
         {"/A << /S /URI /URI (u1) /Next << /S /Named /N /NextPage >> >>",
          "URI u1, Named NextPage"},
         {"/A 100 0 R", "URI loop, Named Back"},
         {"/A 102 0 R", "URI self"},
         {"/A << /S /URI /URI (a) /Next [<< /S /Named /N /N1 /Next << /S /URI /URI (b) >> >>"
          " 104 0 R] >>",
          "URI a, Named N1, URI b, Named N2"},
         {"/A << /S /URI /URI /bad /Next << /S /Named /N /X >> >>", "null, Named X"},
         {"/A 7", "null"},
         {"/A << /S /URI /URI (x) /Next 5 >>", "URI x, null"},
         {"/Title (none)", ""}},
        {"<< /S /URI /URI (loop) /Next 101 0 R >>", "<< /S /Named /N /Back /Next 100 0 R >>",
         "<< /S /URI /URI (self) /Next 102 0 R >>", "[3 0 R /FitH 1]", "<< /S /Named /N /N2 >>"},
        [](const CPdfOutlineItem& item, const std::string& actions) {
            EXPECT_EQ(Actions(item), actions);
        });
}

TEST(OutlineTest, ColourAndStyle) {
    using Look = std::pair<uint32_t, std::string>;
    const std::string huge = "1" + std::string(300, '0') + ".0";
    CheckItems<Look>({{"/C [1 0 0] /F 3", {0xFF0000, "BoldItalic"}},
                      {"/C [0.5 0.5 0.5] /F 1", {0x7F7F7F, "Italic"}},
                      {"/C [1 0] /F 2.9", {0, "Bold"}},
                      {"/C [1 (x) 1] /F 0", {0xFF00FF, "Plain"}},
                      {"/C [2 -1 1.0] /F /Bold", {0xFE01FF, "Plain"}},
                      {"/C [-0.5 3000000000.5 2147483647] /F 6", {0x817F01, "Bold"}},
                      {"/C [" + huge + " 0 1] /F -1", {0x0000FF, "BoldItalic"}},
                      {"/C [1 1 1 1] /F -2.5", {0, "Bold"}},
                      {"/C 100 0 R /F 102 0 R", {0x00FFFF, "Bold"}}},
                     {"[0 1 101 0 R]", "1.0", "2"},
                     [](const CPdfOutlineItem& item, const Look& look) {
                         EXPECT_EQ(item.color, look.first);
                         EXPECT_EQ(item.style, look.second);
                     });
}

TEST(OutlineTest, TitlesKeepEveryByteAndDecodeByTheirForm) {
    using Title = std::pair<std::string, std::vector<uint32_t>>;  // bytes, codes
    CheckItems<Title>(
        {{"/Title <419009>", {"\x41\x90\x09", {0x41, 0x2019, 0}}},
         {"/Title (\\376\\377\\000A\\000\\351)",
          {std::string("\xFE\xFF\0A\0\xE9", 6), {0x41, 0xE9}}},
         {"/Title <FEFF0041>", {std::string("\xFE\xFF\0A", 4), {0x41}}},
         {"/Title <FEFF00410A>", {std::string("\xFE\xFF\0A\n", 5), {0x41}}},
         {"/Title <FEFFD83DDE00>", {std::string("\xFE\xFF\xD8\x3D\xDE\0", 6), {0xD83D, 0xDE00}}},
         {"/Title <FEFF>", {"\xFE\xFF", {}}},
         {"/Title <FE>", {"\xFE", {0xFE}}},
         {"/Title (A\\000B)", {std::string("A\0B", 3), {0x41, 0, 0x42}}},
         {"/Title <181F7F809E9FA0ADAEFF>",
          {"\x18\x1F\x7F\x80\x9E\x9F\xA0\xAD\xAE\xFF",
           {0x02D8, 0x02DC, 0, 0x2022, 0x017E, 0, 0x20AC, 0, 0xAE, 0xFF}}},
         {"/Title /Name", {"", {}}}},
        {}, [](const CPdfOutlineItem& item, const Title& title) {
            EXPECT_EQ(item.title, title.first);
            EXPECT_EQ(item.titleCodes, title.second);
            EXPECT_EQ(item.titleLength, static_cast<int32_t>(title.second.size()));
        });
}

}  // namespace
