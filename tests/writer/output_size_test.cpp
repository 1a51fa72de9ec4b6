// Offsets of the written table: ten digits, past 4 GiB, and a refusal beyond.
#include <gtest/gtest.h>

#include "base/exception.h"
#include "base/platform.h"
#include "structure/document.h"
#include "support/fixture.h"
#include "support/harness.h"
#include "writer/pdf_writer.h"

namespace {

TEST(OutputSizeTest, TableLinesHoldTenDigitOffsets) {
    EXPECT_EQ(XrefTableEntry(15, 0, true), "0000000015 00000 n \r");
    EXPECT_EQ(XrefTableEntry(4400000123u, 2, true), "4400000123 00002 n \r");
    EXPECT_EQ(XrefTableEntry(PdfWriter::kMaxOffset, 70000, false), "9999999999 65535 f \r");
}

// The writer starts its file just below the last offset a table can hold: an
// output whose objects all stand below it is written, one whose objects would
// pass it is refused.
TEST(OutputSizeTest, AnObjectPastTheTablesReachIsRefused) {
    fixture::TempDir dir;
    fixture::WriteFile(dir.file("in.pdf"), fixture::BuildPdf(fixture::Pages(1)));
    CPdfDocument document;
    document.open(dir.file("in.pdf"));
    std::FILE* input = std::fopen(dir.file("in.pdf").c_str(), "rb");
    ASSERT_NE(input, nullptr);
    const RawObjects raw(input, *document.getXRef());
    const PageTable pages = PageTable::Build(*document.getCatalog());
    const std::pair<uint64_t, std::string> cases[] = {
        {PdfWriter::kMaxOffset - 4000, "startxref\n999999"},
        {PdfWriter::kMaxOffset - 4,
         "Output file would be too large: a cross-reference table reaches 9999999999 bytes\n"},
    };
    for (const auto& [start, expected] : cases) {
        std::FILE* output = std::fopen(dir.file("out.pdf").c_str(), "w+b");
        ASSERT_NE(output, nullptr);
        ASSERT_TRUE(platform::Seek(output, static_cast<int64_t>(start), SEEK_SET));
        std::string outcome;
        try {
            PdfWriter(output, raw, pages).writeWithOutline({});
            // The written part: its table and trailer give positions past the start.
            char tail[4096] = {};
            platform::Seek(output, static_cast<int64_t>(start), SEEK_SET);
            const std::string text(tail, std::fread(tail, 1, sizeof tail, output));
            outcome = text.substr(text.find("startxref"), 16);
        } catch (const CPdfException& error) {
            outcome = error.Message();
        }
        std::fclose(output);
        EXPECT_EQ(outcome, expected) << start;
    }
    std::fclose(input);
}

}  // namespace
