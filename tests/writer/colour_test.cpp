#include <gtest/gtest.h>

#include "base/text_format.h"
#include "support/fixture.h"
#include "support/harness.h"
#include "writer/pdf_writer.h"

namespace {

// The reader truncates component x 255: every byte the writer writes must come
// back as itself, or each round trip would darken the colour by a step.
TEST(ColourTest, EveryByteComesBackThroughTheExport) {
    fixture::TempDir dir;
    for (uint32_t c = 0; c < 256; ++c) {
        const uint32_t color = c << 16 | (255 - c) << 8 | c;
        std::string entry = FormatColor(color);
        entry.back() = ' ';  // the entry ends in a line end
        fixture::WriteFile(
            dir.file("in.pdf"),
            fixture::BuildPdf(fixture::Pages(1, "/Outlines 9 0 R") +
                              "9 0 obj << /First 10 0 R >> endobj\n10 0 obj << /Title "
                              "(c) /Parent 9 0 R " +
                              entry + ">> endobj"));
        fixture::RunProgram({"-iin.pdf", "-eout.xml"}, dir.path());
        const std::string xml = fixture::ReadFile(dir.file("out.xml"));
        EXPECT_NE(xml.find(Format("<Color>%06X</Color>", color)), std::string::npos) << c;
    }
}

}  // namespace
