// Writes examples/sample.pdf: four pages with a nested outline that shows
// colours, styles, Unicode titles and each kind of action the tool exports.
// Usage: folivant_make_sample OUTPUT.pdf
#include <cstdio>
#include <string>

#include "support/pdf_builder.h"

namespace {

std::string PageContent(int page, const std::string& heading) {
    return "BT /F1 28 Tf 72 720 Td (" + heading +
           ") Tj ET\n"
           "BT /F1 12 Tf 72 690 Td (Page " +
           std::to_string(page) + " of the Folivant sample document.) Tj ET\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.pdf\n", argv[0]);
        return 2;
    }
    fixture::PdfBuilder pdf;
    fixture::SectionOptions options;
    options.trailerExtra = "/Root 1 0 R /Info 2 0 R";
    pdf.section(options);
    pdf.object(1,
               "<< /Type /Catalog /Pages 3 0 R /Outlines 20 0 R /PageMode /UseOutlines "
               "/Dests << /summary [7 0 R /Fit] >> >>");
    pdf.object(2, "<< /Title (Folivant sample) /Producer (Folivant example generator) >>");
    pdf.object(3,
               "<< /Type /Pages /Kids [4 0 R 5 0 R 6 0 R 7 0 R] /Count 4 "
               "/Resources << /Font << /F1 8 0 R >> >> /MediaBox [0 0 612 792] >>");
    const char* headings[] = {"Introduction", "Installation", "Usage", "Summary"};
    for (int page = 1; page <= 4; ++page) {
        pdf.object(3 + page, "<< /Type /Page /Parent 3 0 R /Contents " + std::to_string(10 + page) +
                                 " 0 R >>");
        fixture::StreamOptions flate;
        flate.flate = true;
        pdf.stream(10 + page, "", PageContent(page, headings[page - 1]), flate);
    }
    pdf.object(8, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");

    pdf.object(20, "<< /Type /Outlines /First 21 0 R /Last 26 0 R /Count 6 >>");
    pdf.object(21,
               "<< /Title (Introduction) /Parent 20 0 R /Next 22 0 R "
               "/Dest [4 0 R /XYZ 72 740 1.25] /C [0.0 0.2 0.6] /F 2 >>");
    pdf.object(22,
               "<< /Title (Installation) /Parent 20 0 R /Prev 21 0 R /Next 25 0 R "
               "/First 23 0 R /Last 24 0 R /Count 2 /Dest [5 0 R /FitH 740] >>");
    // UTF-16BE titles, as most writers store non-ASCII text.
    pdf.object(23,
               "<< /Title <FEFF0047007200F600DF0065> /Parent 22 0 R /Next 24 0 R "
               "/Dest [5 0 R /FitR 72 600 540 760] /F 1 >>");
    pdf.object(24,
               "<< /Title <FEFF4E2D6587002000280043004A004B0029> /Parent 22 0 R /Prev 23 0 R "
               "/A << /S /URI /URI (https://folivant.example.org/docs?lang=zh&part=2) >> >>");
    pdf.object(25,
               "<< /Title (Usage: export, add & update) /Parent 20 0 R /Prev 22 0 R "
               "/Next 26 0 R /A << /S /GoTo /D [6 0 R /Fit] /Next << /S /Named /N /NextPage >> >> "
               "/C [1 0.5 0] /F 3 >>");
    pdf.object(26,
               "<< /Title (Summary and related files) /Parent 20 0 R /Prev 25 0 R "
               "/First 27 0 R /Last 28 0 R /Count -2 /Dest /summary >>");
    pdf.object(27,
               "<< /Title (Other manual, page 2) /Parent 26 0 R /Next 28 0 R "
               "/A << /S /GoToR /F (manual.pdf) /D [1 /Fit] /NewWindow true >> >>");
    pdf.object(28,
               "<< /Title (Release notes) /Parent 26 0 R /Prev 27 0 R "
               "/A << /S /Launch /F (release-notes.txt) >> >>");
    pdf.writeTo(argv[1]);
    return 0;
}
