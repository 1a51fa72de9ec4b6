#include "app/run_helpers.h"
#include "app/text_format.h"
#include "support/pdf_builder.h"
#include "support/test_files.h"

namespace {

using fixture::Banner;
using fixture::RunProgram;

std::string XmlFile(const std::string& bookmarks) {
    return "<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>\r\n<Bookmarks>\r\n" + bookmarks +
           "</Bookmarks>\r\n";
}

std::string Bookmark(int item, int level, const std::string& name, const std::string& extra = "") {
    return Format("\t<Bookmark>\r\n\t\t<Item>%d</Item>\r\n\t\t<Level>%d</Level>\r\n", item, level) +
           "\t\t<Name>" + name + "</Name>\r\n" + extra + "\t</Bookmark>\r\n";
}

std::string Action(const std::string& type, const std::string& elements) {
    return "\t\t<Action>\r\n\t\t\t<Type>" + type + "</Type>\r\n" + elements + "\t\t</Action>\r\n";
}

std::string GoTo(int page, const std::string& destination, const std::string& more = "") {
    return Action("Go to a page in this document",
                  Format("\t\t\t<Page>%d</Page>\r\n\t\t\t<Destination>", page) + destination +
                      "</Destination>\r\n" + more);
}

// The text of an input object as the builder wrote it, through "endobj\n".
std::string InputObject(const std::string& pdf, int number) {
    size_t start = pdf.find(Format("\n%d 0 obj\n", number)) + 1;
    size_t end = pdf.find("endobj\n", start) + 7;
    return pdf.substr(start, end - start);
}

// Assembles an expected output file and the offsets of its objects.
struct ExpectedFile {
    std::string bytes;
    std::vector<uint32_t> offsets;

    void object(int number, const std::string& text) {
        if (offsets.size() <= static_cast<size_t>(number))
            offsets.resize(static_cast<size_t>(number) + 1);
        offsets[static_cast<size_t>(number)] = static_cast<uint32_t>(bytes.size());
        bytes += text;
    }
};

TEST(AddJobTest, WritesTheNewFileByteForByte) {
    TempDir dir;
    const std::string input = fixture::simpleDocument(2).build();
    writeFile(dir.file("in.pdf"), input);
    writeFile(
        dir.file("marks.xml"),
        XmlFile(
            Bookmark(
                1, 0, "A &obr;x&cbr; \\",
                "\t\t<Color>FF8000</Color>\r\n\t\t<Style>BoldItalic</Style>\r\n" + GoTo(1, "Fit") +
                    Action("Open weblink", "\t\t\t<Uri>a&amp;b(c)</Uri>\r\n") +
                    Action("Execute a menu item", "\t\t\t<Actionname>Next Page</Actionname>\r\n")) +
            Bookmark(2, 1, "c1") + Bookmark(3, 1, "c2") +
            Bookmark(4, 0, "B",
                     Action("Go to a page in another document",
                            "\t\t\t<Page>2</Page>\r\n\t\t\t<Destination>FitBV</Destination>\r\n"
                            "\t\t\t<Left>72</Left>\r\n\t\t\t<Filename>other.pdf</Filename>\r\n"))));
    fixture::RunResult run = RunProgram(
        {"-i" + dir.file("in.pdf"), "-o" + dir.file("out.pdf"), "-x" + dir.file("marks.xml")});
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out, std::string(Banner()) + "Input file: '" + dir.file("in.pdf") +
                           "', XML input file: '" + dir.file("marks.xml") + "', output file: '" +
                           dir.file("out.pdf") + "'\n\nDone.\n");

    // Input objects 1 to 4 (catalog, pages, two pages): the outline root is 5.
    ExpectedFile expected;
    expected.bytes = input.substr(0, input.find("\n1 0 obj\n") + 1);
    for (int number : {2, 3, 4}) expected.object(number, InputObject(input, number));
    expected.object(7, "7 0 obj<<\n/Parent 6 0 R\n/Title(c1)\n/F 0\n/Next 8 0 R\n>>endobj\n");
    expected.object(8, "8 0 obj<<\n/Parent 6 0 R\n/Prev 7 0 R\n/Title(c2)\n/F 0\n>>endobj\n");
    expected.object(9, "9 0 obj <<\n/URI(a&b\\(c\\))/S/URI\n /Next 10 0 R\n>>endobj\n");
    expected.object(10, "10 0 obj <<\n/N/Next#20Page /S/Named\n\n>>endobj\n");
    expected.object(6,
                    "6 0 obj<<\n/Parent 5 0 R\n/First 7 0 R\n/Last 8 0 R\n/Title(A \\(x\\) \\\\)\n"
                    "/F 3\n/C[ 1.000000 0.501961 0.000000 ]\n"
                    " /A <</D[ 3 0 R /Fit] /S/GoTo\n /Next 9 0 R>>/Next 11 0 R\n>>endobj\n");
    expected.object(11,
                    "11 0 obj<<\n/Parent 5 0 R\n/Prev 6 0 R\n/Title(B)\n/F 0\n"
                    " /A <</F <</F(other.pdf)/Type/Filespec>>/D[ 1 /FitBV 72.000000] /S/GoToR\n"
                    ">>>>endobj\n");
    expected.object(5,
                    "5 0 obj<<\n/Type/Outlines\n/Count 2\n/First 6 0 R\n/Last 11 0 R\n>>endobj\n");
    std::string catalog = InputObject(input, 1);
    catalog.insert(catalog.find("<<") + 2, "/Outlines 5 0 R\n");
    expected.object(1, catalog);
    const size_t xrefPosition = expected.bytes.size();
    expected.bytes += "xref\n0 12\r0000000000 65535 f \r";
    for (int number = 1; number < 12; ++number) {
        expected.bytes += Format("%010u 00000 n \r", expected.offsets[static_cast<size_t>(number)]);
    }
    expected.bytes +=
        Format("trailer\n<<\n/Size 12\n/Root 1 0 R\n>>\nstartxref\n%zu\n%%%%EOF", xrefPosition);
    EXPECT_EQ(readFile(dir.file("out.pdf")), expected.bytes);
    EXPECT_FALSE(qpdfCheck(dir.file("out.pdf")).has_value());

    // The tool reads its own output back into the same bookmarks.
    nextItemNumber = 1;
    run = RunProgram({"-i" + dir.file("out.pdf"), "-e" + dir.file("back.xml")});
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string back = readFile(dir.file("back.xml"));
    EXPECT_NE(back.find("<Name>A &obr;x&cbr; \\</Name>"), std::string::npos);
    EXPECT_NE(back.find("<Uri>a&amp;b(c)</Uri>"), std::string::npos);
    EXPECT_NE(back.find("<Destination>FitBV</Destination>\r\n\t\t\t<Left>72</Left>"),
              std::string::npos);
}

TEST(AddJobTest, RewritesObjectStreamsGenerationsAndOddStreams) {
    fixture::PdfBuilder builder;
    builder.junk("junk before the header\n");
    fixture::SectionOptions options;
    options.form = fixture::XrefForm::Stream;
    options.trailerExtra = "/Root 1 0 R /Info 8 2 R";
    builder.section(options);
    builder.compressed(1, "<< /Type /Catalog /Pages 2 0 R /Outlines   40 0 R >>", 20);
    builder.compressed(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>", 20);
    builder.object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 7 0 R >>");
    // Content whose data holds "endobj" and "ObjStm" must come through whole.
    const std::string data = "BT (endobj ObjStm) Tj ET\nendobj\n% tail";
    builder.stream(7, "", data, {}, 0);
    builder.object(8, "<< /Producer (test) >>", 2);
    builder.object(40, "<< /Type /Outlines >>");
    TempDir dir;
    builder.writeTo(dir.file("in.pdf"));
    writeFile(dir.file("marks.xml"),
              XmlFile(Bookmark(1, 0, "Only", GoTo(1, "XYZ", "\t\t\t<Zoom>150</Zoom>\r\n"))));

    fixture::RunResult run = RunProgram(
        {"-i" + dir.file("in.pdf"), "-o" + dir.file("out.pdf"), "-x" + dir.file("marks.xml")});
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string out = readFile(dir.file("out.pdf"));
    EXPECT_EQ(out.rfind("%PDF-1.7", 0), 0u) << "the output starts with its header";
    EXPECT_EQ(out.find("/Type /ObjStm"), std::string::npos);
    EXPECT_NE(out.find("\n2 0 obj\r<< /Type /Pages /Kids [3 0 R] /Count 1 >>"), std::string::npos);
    EXPECT_NE(out.find("stream\n" + data + "\nendstream\nendobj\n"), std::string::npos);
    // The cross-reference stream is object 41, so the new outline root is 42.
    EXPECT_NE(out.find("/Outlines   42 0 R >>"), std::string::npos);
    EXPECT_NE(out.find("/D[ 3 0 R /XYZ 0.000000 0.000000 1.500000 ]"), std::string::npos);
    EXPECT_NE(out.find("/Info 8 2 R\n"), std::string::npos);
    EXPECT_NE(out.find(" 00002 n \r"), std::string::npos);
    EXPECT_FALSE(qpdfCheck(dir.file("out.pdf")).has_value());

    // A second run on the output finds everything again.
    run = RunProgram(
        {"-i" + dir.file("out.pdf"), "-o" + dir.file("again.pdf"), "-x" + dir.file("marks.xml")});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_FALSE(qpdfCheck(dir.file("again.pdf")).has_value());
}

TEST(AddJobTest, EmptyOutlineAndCatalogForms) {
    TempDir dir;
    fixture::PdfBuilder builder = fixture::simpleDocument(
        1, "/Outlines << /Type /Outlines /Count 0 >> /PageMode /UseOutlines");
    builder.writeTo(dir.file("in.pdf"));
    writeFile(dir.file("none.xml"), XmlFile(""));
    fixture::RunResult run = RunProgram(
        {"-i" + dir.file("in.pdf"), "-o" + dir.file("out.pdf"), "-x" + dir.file("none.xml")});
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string out = readFile(dir.file("out.pdf"));
    EXPECT_NE(out.find("4 0 obj<<\n/Type/Outlines\n/Count 0\n>>endobj\n"), std::string::npos);
    EXPECT_NE(out.find("/Outlines 4 0 R /PageMode /UseOutlines"), std::string::npos);
    EXPECT_FALSE(qpdfCheck(dir.file("out.pdf")).has_value());
}

TEST(AddJobTest, FailuresLeaveNoOutput) {
    TempDir dir;
    fixture::simpleDocument(2).writeTo(dir.file("in.pdf"));
    const std::string prefix = std::string(Banner()) + "Input file: '" + dir.file("in.pdf") + "'";
    auto add = [&](const std::string& xml, const std::string& output) {
        return RunProgram({"-i" + dir.file("in.pdf"), "-o" + output, "-x" + xml});
    };

    fixture::RunResult run = add(dir.file("missing.xml"), dir.file("out.pdf"));
    EXPECT_EQ(run.out,
              prefix + ", XML input file: '" + dir.file("missing.xml") + "'XML file open error\n");
    EXPECT_FALSE(fileExists(dir.file("out.pdf")));

    writeFile(dir.file("page3.xml"), XmlFile(Bookmark(1, 0, "x", GoTo(3, "Fit"))));
    run = add(dir.file("page3.xml"), dir.file("out.pdf"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.substr(run.out.find("'\n") + 2),
              "Error in .xml file: Page number more than number of pages in .pdf file\n");
    EXPECT_FALSE(fileExists(dir.file("out.pdf")));

    writeFile(dir.file("bad.xml"), XmlFile(Bookmark(1, 0, "%G1")));
    run = add(dir.file("bad.xml"), dir.file("out.pdf"));
    EXPECT_EQ(run.out.substr(run.out.size() - 22), "Wrong PDFEncoding code");
    EXPECT_FALSE(fileExists(dir.file("out.pdf")));

    // The lowest page index of another document still gives a number.
    writeFile(dir.file("remote.xml"),
              XmlFile(Bookmark(1, 0, "r",
                               Action("Go to a page in another document",
                                      "\t\t\t<Page>-2147483648</Page>\r\n"
                                      "\t\t\t<Filename>b.pdf</Filename>\r\n"))));
    run = add(dir.file("remote.xml"), dir.file("remote.pdf"));
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(readFile(dir.file("remote.pdf")).find("/D[ -2147483649 /Fit]"), std::string::npos);

    const std::string longFolder = dir.file(std::string(400, 'f') + "/out.pdf");
    run = add(dir.file("bad.xml"), longFolder);
    EXPECT_EQ(run.out.substr(run.out.find("'\n") + 2),
              "\nOutput file create error: '" + longFolder + "'\n");

    // Neither the XML file nor the input may be the output.
    const std::string xmlBefore = readFile(dir.file("page3.xml"));
    run = add(dir.file("page3.xml"), dir.path() + "/./page3.xml");
    EXPECT_EQ(run.out.substr(run.out.find("'\n") + 2),
              "\nOutput file would overwrite an input file: '" + dir.path() + "/./page3.xml'\n");
    EXPECT_EQ(readFile(dir.file("page3.xml")), xmlBefore);

    // Update needs an outline to update.
    run = RunProgram({"-i" + dir.file("in.pdf"), "-o" + dir.file("out.pdf"),
                      "-x" + dir.file("bad.xml"), "-update"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("Wrong PDFEncoding code"), std::string::npos);
    writeFile(dir.file("none.xml"), XmlFile(""));
    run = RunProgram({"-i" + dir.file("in.pdf"), "-o" + dir.file("out.pdf"),
                      "-x" + dir.file("none.xml"), "-update"});
    EXPECT_EQ(run.out.substr(run.out.find("'\n") + 2), "No bookmarks in pdf, update impossible\n");
    EXPECT_FALSE(fileExists(dir.file("out.pdf")));
}

}  // namespace

namespace {

TEST(AddJobTest, DamagedEntriesAndLengthsDoNotSpoilTheCopy) {
    fixture::PdfBuilder builder = fixture::simpleDocument(1);
    builder.object(5, "(five)");
    builder.object(6, "(six)");
    // A Length naming an object beyond the table: the job goes on, and the text
    // search finds the end of the object.
    builder.object(7, "<< /Length 99 0 R >>\nstream\ndata\nendstream");
    std::string bytes = builder.build();
    // Object 5's entry names the offset of object 3, as damaged tables do, and
    // object 6's entry points into the header.
    auto entryOf = [](long offset) { return Format("%010ld 00000 n\r\n", offset); };
    bytes.replace(bytes.rfind(entryOf(builder.offsetOf(5))), 20, entryOf(builder.offsetOf(3)));
    bytes.replace(bytes.rfind(entryOf(builder.offsetOf(6))), 20, entryOf(5));
    TempDir dir;
    writeFile(dir.file("in.pdf"), bytes);
    writeFile(dir.file("marks.xml"), XmlFile(Bookmark(1, 0, "p", GoTo(1, "Fit"))));

    fixture::RunResult run = RunProgram(
        {"-i" + dir.file("in.pdf"), "-o" + dir.file("out.pdf"), "-x" + dir.file("marks.xml")});
    ASSERT_EQ(run.status, 0) << run.out;
    const std::string out = readFile(dir.file("out.pdf"));
    EXPECT_EQ(out.find("3 0 obj"), out.rfind("3 0 obj")) << "object 3 is copied once";
    EXPECT_EQ(out.find("(five)"), std::string::npos);
    EXPECT_EQ(out.rfind("%PDF-1.7\n%", 0), 0u);
    EXPECT_NE(out.find("1 0 obj"), std::string::npos);
    EXPECT_NE(out.find("stream\ndata\nendstream\nendobj\n"), std::string::npos);
    EXPECT_FALSE(qpdfCheck(dir.file("out.pdf")).has_value());
}

}  // namespace
