// Text strings: PDFDocEncoding where it differs from Latin-1, UTF-16 and UTF-8.
#include "structure/outline.h"

#include <gtest/gtest.h>

#include "bookmarks/collector.h"
#include "pdf/text_string.h"
#include "structure/document.h"
#include "structure/page_table.h"
#include "support/fixture.h"
#include "support/harness.h"

namespace {

using namespace std::string_literals;

TEST(TextStringTest, PdfDocEncodingBytesGiveTheirCharacters) {
    // From the encoding's table: the accents from 0x18, the punctuation and
    // letters from 0x80, the euro at 0xA0; 0x9F, 0x7F and 0xAD are undefined.
    const char32_t from18[] = {0x02D8, 0x02C7, 0x02C6, 0x02D9, 0x02DD, 0x02DB, 0x02DA, 0x02DC};
    const char32_t from80[] = {
        0x2022, 0x2020, 0x2021, 0x2026, 0x2014, 0x2013, 0x0192, 0x2044, 0x2039, 0x203A, 0x2212,
        0x2030, 0x201E, 0x201C, 0x201D, 0x2018, 0x2019, 0x201A, 0x2122, 0xFB01, 0xFB02, 0x0141,
        0x0152, 0x0160, 0x0178, 0x017D, 0x0131, 0x0142, 0x0153, 0x0161, 0x017E, 0x0000, 0x20AC};
    for (unsigned byte = 0; byte < 256; ++byte) {
        char32_t expected = byte;
        if (byte >= 0x18 && byte < 0x20) expected = from18[byte - 0x18];
        if (byte >= 0x80 && byte <= 0xA0) expected = from80[byte - 0x80];
        if (byte < 0x18 || byte == 0x7F || byte == 0xAD) expected = 0;
        EXPECT_EQ(pdftext::PdfDocCharacter(static_cast<unsigned char>(byte)), expected) << byte;
        // Every byte string decodes and encodes back to itself.
        const std::string one(1, static_cast<char>(byte));
        if (byte != 0xFE && byte != 0xEF) {
            EXPECT_EQ(pdftext::Encode(pdftext::Decode(one)), one) << byte;
        }
    }
}

TEST(TextStringTest, CharactersGoToPdfDocEncodingOrUtf16) {
    const struct {
        std::string bytes;
        std::string characters;
        std::string encoded;  // when it differs from bytes
    } cases[] = {
        {"\x8D"
         "hi\x8E \xA0",
         "\u201Chi\u201D \u20AC", ""},
        {"\xFE\xFF\0G\x4E\x2D\xD8\x3D\xDE\0"s, "G\u4E2D\U0001F600", ""},
        {"\xFE\xFF\0a\0\x18\0\x1B\0b"s,
         "a\x18\x1B"
         "b",
         ""},
        {"\xFE\xFF\0a\xD8\0\0b"s, "a\uFFFDb", "\xFE\xFF\0a\xFF\xFD\0b"s},
        {"\xFE\xFF\0A\0B"s, "AB", "AB"},
        {"\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F\xE4\xB8\xAD", "Gr\u00FC\u00DF\u4E2D",
         "\xFE\xFF\0G\0r\0\xFC\0\xDF\x4E\x2D"s},
        {"\xEF\xBB\xBF\xC3", "\uFFFD", "\xFE\xFF\xFF\xFD"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pdftext::Decode(c.bytes), c.characters) << c.characters;
        EXPECT_EQ(pdftext::Encode(c.characters), c.encoded.empty() ? c.bytes : c.encoded)
            << c.characters;
    }
}

// The keys of the items a walk meets: each is new once, whatever its bits,
// however many share a slot and however far the set grows.
TEST(OutlineTest, ItemKeysAreNewOnce) {
    ItemKeySet set;
    const auto key = [](int32_t number, int32_t generation) {
        return OutlineBudget::Key({number, generation});
    };
    const uint64_t keys[] = {0, ~uint64_t{0}, 1, key(-1, -1), key(7, 0), key(0, 7)};
    const bool newOnes[] = {true, true, true, false, true, true};
    for (size_t i = 0; i < std::size(keys); ++i) EXPECT_EQ(set.insert(keys[i]), newOnes[i]) << i;
    for (uint64_t n = 1; n <= 5000; ++n) {
        // Keys that differ only above their low bits, as numbers of one file do.
        EXPECT_EQ(set.insert(n << 32 | 3), true) << n;
        EXPECT_EQ(set.insert(n << 32 | 3), false) << n;
    }
    for (uint64_t k : keys) EXPECT_FALSE(set.insert(k));
    EXPECT_EQ(set.size(), 5005u);
}

// A document of one page and the outline at object 4, the rest given.
struct Opened {
    explicit Opened(const std::string& objects) {
        fixture::WriteFile(dir.file("in.pdf"),
                           fixture::BuildPdf(fixture::Pages(1, "/Outlines 4 0 R") + objects));
        document.open(dir.file("in.pdf"), warnings);
    }
    fixture::TempDir dir;
    Document document;
    Warnings warnings;
};

// Items shared between parents, no loop among them: every level's two items
// have the next level's two as children, so the paths double at each level.
// The walk reads each item a few times at most, and stops.
TEST(OutlineTest, SharedItemsAreReadAFewTimesEach) {
    std::string text = "4 0 obj << /First 10 0 R >> endobj\n";
    for (int a = 10; a < 38; a += 2) {
        const std::string kids = a < 36 ? " /First " + std::to_string(a + 2) + " 0 R" : "";
        text += std::to_string(a) + " 0 obj << /Title (a) /Next " + std::to_string(a + 1) + " 0 R" +
                kids + " >> endobj\n" + std::to_string(a + 1) + " 0 obj << /Title (b)" + kids +
                " >> endobj\n";
    }
    Opened in(text);
    ItemCounter counter;
    size_t records = 0;
    VisitBookmarks(*in.document.outline().items, in.document.catalog(),
                   PageTable::Build(in.document.catalog()), counter, &in.warnings,
                   [&records](const BookmarkRecord&) { ++records; });
    // Every path would be 2^15 - 2 records; the walk stops after 4 reads of
    // each of the 28 items and the 1000 reads any outline may make.
    EXPECT_EQ(records, 4u * 28 + 1000);
}

// The objects of an old outline are those its links reach within the table:
// a link to a number below 1 or past the table, near or far, is no object of it.
TEST(OutlineTest, OldOutlineObjectsAreThoseInTheTable) {
    Opened in(
        "4 0 obj << /First 5 0 R /Next -4 0 R >> endobj\n"
        "5 0 obj << /Title (a) /First 500000000 0 R /Next 999 0 R >> endobj\n"
        "6 0 obj << /Title (b) /First 0 0 R /Next 6 0 R >> endobj\n");
    EXPECT_EQ(OutlineObjectNumbers(in.document.xref()), (std::vector<uint32_t>{4, 5}));
}

}  // namespace
