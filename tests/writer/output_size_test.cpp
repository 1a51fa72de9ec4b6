// Offsets of the written table: ten digits, past 4 GiB, and a refusal beyond.
#include <gtest/gtest.h>

#include "base/error.h"
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
    Document document;
    Warnings warnings;
    document.open(dir.file("in.pdf"), warnings);
    const pdf::RawObjects raw(document.xref());
    const PageTable pages = PageTable::Build(document.catalog());
    const std::pair<uint64_t, std::string> cases[] = {
        {PdfWriter::kMaxOffset - 4000, "startxref\n999999"},
        // The last object at the last offset a table can hold, and one byte past it
        // (the table itself may start beyond).
        {PdfWriter::kMaxOffset - 186, "startxref\n100000"},
        {PdfWriter::kMaxOffset - 185,
         "Output file would be too large: a cross-reference table reaches 9999999999 bytes\n"},
        {PdfWriter::kMaxOffset - 4,
         "Output file would be too large: a cross-reference table reaches 9999999999 bytes\n"},
    };
    for (const auto& [start, expected] : cases) {
        std::FILE* output = std::fopen(dir.file("out.pdf").c_str(), "w+b");
        ASSERT_NE(output, nullptr);
        ASSERT_TRUE(platform::Seek(output, static_cast<int64_t>(start), SEEK_SET));
        std::string outcome;
        try {
            PdfWriter(output, raw, document.catalog(), pages, {}, warnings).writeWithOutline({});
            // The written part: its table and trailer give positions past the start.
            char tail[4096] = {};
            platform::Seek(output, static_cast<int64_t>(start), SEEK_SET);
            const std::string text(tail, std::fread(tail, 1, sizeof tail, output));
            outcome = text.substr(text.find("startxref"), 16);
        } catch (const Error& error) {
            outcome = error.message();
        }
        std::fclose(output);
        EXPECT_EQ(outcome, expected) << start;
    }
}

// Objects larger than one piece of the copy come across byte for byte, the
// words "endobj" and "ObjStm" in their data included, and a line end after
// them where the input ends at their "endobj" (its table lost).
TEST(OutputSizeTest, LargeObjectsAreCopiedWhole) {
    std::string data;
    for (int line = 0; data.size() < pdf::RawObjects::kCopyChunk + 300000; ++line) {
        data += "% line " + std::to_string(line) + " endobj ObjStm endstream\n";
    }
    const std::string stream =
        "<< /Length " + std::to_string(data.size()) + " >>\nstream\n" + data + "endstream\nendobj";
    fixture::TempDir dir;
    const std::string input = fixture::BuildPdf(
        fixture::Pages(1, "/Outlines 9 0 R") + "9 0 obj << /Count 0 >> endobj\n7 0 obj\n" + stream);
    fixture::WriteFile(dir.file("in.pdf"), input.substr(0, input.rfind("endobj") + 6));
    const auto exported = fixture::RunProgram({"-iin.pdf", "-ex.xml"}, dir.path());
    ASSERT_EQ(exported.status, 0) << exported.out;
    ASSERT_EQ(fixture::RunProgram({"-iin.pdf", "-oout.pdf", "-xx.xml"}, dir.path()).status, 0);
    const std::string output = fixture::ReadFile(dir.file("out.pdf"));
    EXPECT_NE(output.find("7 0 obj\n" + stream + "\n"), std::string::npos);
    EXPECT_EQ(fixture::QpdfWarnings(dir.file("out.pdf")), 0);
}

// Object streams, a large one too, are kept as they stand, and the
// cross-reference stream lists their objects where they are.
TEST(OutputSizeTest, LargeObjectStreamsAreKeptWhole) {
    const std::string large(pdf::RawObjects::kCopyChunk + 1000, 'a');
    fixture::TempDir dir;
    const std::string objects = "9 0 obj << /Count 0 >> endobj\n@objstm 30 []\n7 0 obj\n(" + large +
                                ")\nendobj\n8 0 obj (small) endobj\n@end\n"
                                "@xref stream /Root 1 0 R\n";
    const std::string input = fixture::BuildPdf(fixture::Pages(1, "/Outlines 9 0 R") + objects);
    fixture::WriteFile(dir.file("in.pdf"), input);
    ASSERT_EQ(fixture::RunProgram({"-iin.pdf", "-ex.xml"}, dir.path()).status, 0);
    ASSERT_EQ(fixture::RunProgram({"-iin.pdf", "-oout.pdf", "-xx.xml"}, dir.path()).status, 0);
    const std::string output = fixture::ReadFile(dir.file("out.pdf"));
    const size_t stream = input.find("30 0 obj");
    ASSERT_NE(stream, std::string::npos);
    EXPECT_NE(output.find(input.substr(stream, input.find("endobj", stream) + 7 - stream)),
              std::string::npos);
    EXPECT_EQ(output.find("7 0 obj"), std::string::npos);
    EXPECT_EQ(fixture::QpdfWarnings(dir.file("out.pdf")), 0);
}

}  // namespace
