// Titles in PDFDocEncoding: the bytes where it differs from Latin-1.
#include "structure/outline.h"

#include <gtest/gtest.h>

namespace {

TEST(OutlineTest, PdfDocEncodingBytesGiveTheirCharacters) {
    // From the encoding's table: the accents from 0x18, the punctuation and
    // letters from 0x80, the euro at 0xA0; 0x9F, 0x7F and 0xAD are undefined.
    const uint32_t from18[] = {0x02D8, 0x02C7, 0x02C6, 0x02D9, 0x02DD, 0x02DB, 0x02DA, 0x02DC};
    const uint32_t from80[] = {
        0x2022, 0x2020, 0x2021, 0x2026, 0x2014, 0x2013, 0x0192, 0x2044, 0x2039, 0x203A, 0x2212,
        0x2030, 0x201E, 0x201C, 0x201D, 0x2018, 0x2019, 0x201A, 0x2122, 0xFB01, 0xFB02, 0x0141,
        0x0152, 0x0160, 0x0178, 0x017D, 0x0131, 0x0142, 0x0153, 0x0161, 0x017E, 0x0000, 0x20AC};
    for (unsigned byte = 0x18; byte < 0x20; ++byte) {
        EXPECT_EQ(PdfDocEncodingToUnicode(static_cast<unsigned char>(byte)), from18[byte - 0x18])
            << byte;
    }
    for (unsigned byte = 0x80; byte <= 0xA0; ++byte) {
        EXPECT_EQ(PdfDocEncodingToUnicode(static_cast<unsigned char>(byte)), from80[byte - 0x80])
            << byte;
    }
    for (const unsigned byte : {0x20u, 0x41u, 0x7Eu, 0xA1u, 0xE9u, 0xFFu}) {
        EXPECT_EQ(PdfDocEncodingToUnicode(static_cast<unsigned char>(byte)), byte);
    }
    for (const unsigned byte : {0x00u, 0x17u, 0x7Fu, 0xADu}) {
        EXPECT_EQ(PdfDocEncodingToUnicode(static_cast<unsigned char>(byte)), 0u) << byte;
    }
}

}  // namespace
