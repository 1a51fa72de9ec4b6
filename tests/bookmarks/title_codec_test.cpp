#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

#include "bookmarks/bookmarks.h"
#include "support/byte_source.h"

namespace {

using namespace std::string_literals;

// A hexadecimal string object, so that every byte reaches the title unchanged.
std::string HexString(const std::string& bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out = "<";
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
    }
    return out + ">";
}

// FE FF followed by the given UTF-16 code units.
std::string Utf16(std::initializer_list<uint32_t> units) {
    std::string bytes = "\xFE\xFF";
    for (uint32_t unit : units) {
        bytes += static_cast<char>(unit >> 8);
        bytes += static_cast<char>(unit & 0xFF);
    }
    return bytes;
}

// Applies convert to the outline item whose Title is the given string object.
std::string OfItem(const std::string& titleObject, std::string (*convert)(const CPdfOutlineItem&)) {
    CPdfElement dict = fixture::ParseOne("<< /Title " + titleObject + " >>");
    if (!dict.isDict()) return "<not a dictionary>";
    CPdfOutlineItem item(*dict.getDict(), nullptr);
    return convert(item);
}

std::string Exported(const std::string& titleBytes) {
    return OfItem(HexString(titleBytes), ExportTitleValue);
}

TEST(CodecTest, ReplaceAllAndPdfEscapes) {
    EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");  // an inserted text is not scanned again
    EXPECT_EQ(ReplaceAll("&lt;", "&", "&amp;"), "&amp;lt;");
    EXPECT_EQ(ReplaceAll("abcab", "ab", ""), "c");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");

    EXPECT_EQ(EscapePdfName("Next Page#1"), "Next#20Page#231");
    EXPECT_EQ(EscapePdfName("a/(c)[]<>{}%\x7F\xE9"), "a#2F#28c#29#5B#5D#3C#3E#7B#7D#25#7F#E9");

    EXPECT_EQ(EscapeLiteralString("a(b)c\\d\r\n\0e"s), "a\\(b\\)c\\\\d\\r\\n\0e"s);

    // Both directions of the title codec rest on this table.
    const std::pair<uint32_t, int> table[] = {
        {0x41, 0x41},   {0x09, 0x09},   {0x0A, 0x0A},   {0x0D, 0x0D}, {0x2022, 0x80},
        {0x2019, 0x90}, {0x20AC, 0xA0}, {0x02D8, 0x18}, {0xFF, 0xFF}, {0x00, -1},
        {0x18, -1},     {0x80, -1},     {0xAD, -1},     {0x1F600, -1}};
    for (const auto& [character, byte] : table) EXPECT_EQ(PdfDocEncodingByte(character), byte);
}

TEST(TitleEncodingTest, EightBitTitles) {
    EXPECT_EQ(OfItem("(A&B \\(x\\))", ExportTitleValue), "A&amp;B &obr;x&cbr;");
    EXPECT_EQ(OfItem("(50% \\(x\\))", EncodeTitle), "50%25 (x)");  // percent stage only
    EXPECT_EQ(Exported("50%"), "50%25");
    EXPECT_EQ(Exported("a\x80z"), "a%80z");
    EXPECT_EQ(Exported("a\tb"), "a%09b");
    EXPECT_EQ(Exported("\xE9\xFC"), "\xE9\xFC");
    EXPECT_EQ(Exported("\x7F\xA0\xA1\xAC\xAD\xAE\x9F\x18"), "%7F%A0\xA1\xAC%AD\xAE%9F%18");
    EXPECT_EQ(Exported("a\0b\r\n"s), "a%00b%0D%0A");
    EXPECT_EQ(Exported("<'\">"), "&lt;&apos;&quot;&gt;");
    EXPECT_EQ(Exported("&#x41;"), "&amp;#x41;");
}

TEST(TitleEncodingTest, Utf16TitlesUsePdfDocEncodingWhereItHoldsTheCharacter) {
    // Literal and hexadecimal strings keep their zero bytes.
    EXPECT_EQ(OfItem("(\\376\\377\\000A\\000B)", ExportTitleValue), "AB");
    EXPECT_EQ(OfItem("<FEFF00410042>", ExportTitleValue), "AB");
    EXPECT_EQ(OfItem("(\\376\\377AB)", ExportTitleValue), "&#x4142;");
    EXPECT_EQ(OfItem("<FEFF>", ExportTitleValue), "");

    EXPECT_EQ(Exported(Utf16({'G', 'r', 0xF6, 0xDF, 'e'})), "Gr\xF6\xDF"s + "e");
    EXPECT_EQ(Exported(Utf16({0x4E2D, 0x6587})), "&#x4E2D;&#x6587;");
    EXPECT_EQ(Exported(Utf16({0xD83D, 0xDE00})), "&#x1F600;");
    EXPECT_EQ(Exported(Utf16({0xD800, 'A', 0xDC00})), "&#xFFFD;A&#xFFFD;");
    EXPECT_EQ(Exported(Utf16({'(', '&', ')', '<', '%'})), "&obr;&amp;&cbr;&lt;%25");
    EXPECT_EQ(Exported(Utf16({0x09, 0x0A, 0x01, 0x00})), "%09%0A%01%00");
    // Neither is a character any PDFDocEncoding byte gives.
    EXPECT_EQ(Exported(Utf16({0xAD, 0x80})), "&#x00AD;&#x0080;");
    // Their bytes 0xA0 and 0x80 are escaped exactly as in an 8-bit title.
    EXPECT_EQ(Exported(Utf16({0x20AC, 0x2022, 0x2019})), "%A0%80%90");
    EXPECT_EQ(Exported(Utf16({0xFFFE, 0xFFFF})), "&#xFFFD;&#xFFFD;");
    EXPECT_EQ(Exported(Utf16({'A'}) + "B"), "A");  // an odd last byte is dropped
}

TEST(TitleEncodingTest, UpdateNamesKeepEveryByteForALiteralString) {
    EXPECT_EQ(OfItem("(A&B \\(x\\))", UpdateTitleValue), "A&B \\(x\\)");
    EXPECT_EQ(OfItem("(50%)", UpdateTitleValue), "50%");
    EXPECT_EQ(OfItem(HexString("a\\b\r\n\0"s), UpdateTitleValue), "a\\\\b\\r\\n\0"s);
    EXPECT_EQ(OfItem(HexString(Utf16({0x0028, 0x4E5C, 0x000A, 0x0D41})), UpdateTitleValue),
              "\xFE\xFF\x00\\(\x4E\\\\\x00\\n\\r\x41"s);
}

// What the export writes must read back as the title's own bytes; only titles
// without a character outside PDFDocEncoding change form (to 8-bit).
TEST(TitleEncodingTest, ExportedNamesDecodeToTheOriginalTitle) {
    for (const std::string& title :
         {"A&amp;lt;B"s, "&#x41;&obr;"s, "a\\b(c)"s, "\x80\xA0\xAD\x7F\x01\t\n%25"s, "a\0b"s,
          Utf16({'G', 0xF6, 0x20AC, 0x4E2D, 0x09, 0x0A, '(', '&', '\\', 0x01, 0x00}),
          Utf16({0xD83D, 0xDE00, 0xAD, 0x80, '%', ';', '#'}),
          Utf16({'&', '#', 'x', '4', '1', ';', 0x4E2D})}) {
        EXPECT_EQ(DecodeNameValue(Exported(title)), EscapeLiteralString(title)) << Exported(title);
    }
    EXPECT_EQ(DecodeNameValue(Exported(Utf16({'G', 0xF6, 0x2022}))), "G\xF6\x80");
}

}  // namespace
