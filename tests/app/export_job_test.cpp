#include "app/run_helpers.h"
#include "support/pdf_builder.h"
#include "support/test_files.h"

namespace {

using fixture::Banner;
using fixture::RunProgram;

// Three pages (objects 3, 4, 5) and an outline with most of what an export meets.
fixture::PdfBuilder OutlinedDocument(const std::string& leafValue = "<< /D [5 0 R /Fit] >>") {
    fixture::PdfBuilder builder =
        fixture::simpleDocument(3, "/Outlines 10 0 R /Dests 20 0 R /Names << /Dests 21 0 R >>");
    builder.object(10, "<< /Type /Outlines /First 11 0 R /Last 13 0 R /Count 3 >>");
    builder.object(11,
                   "<< /Title (A&B \\(x\\)) /Parent 10 0 R /Next 12 0 R /First 14 0 R /Last 15 0 R "
                   "/Dest [3 0 R /XYZ 10 700.5 1.5] /C [1 0 0.5] /F 3 >>");
    builder.object(
        14,
        "<< /Title <FEFF0047007200F600DF0065002000284E2D> /Parent 11 0 R /Next 15 0 R "
        "/A << /S /URI /URI (http://x/?a=1&b=<2>) /Next << /S /Named /N /NextPage >> >> >>");
    builder.object(15,
                   "<< /Title (Other) /Parent 11 0 R /Prev 14 0 R /A << /S /GoToR /F << /F (a.pdf) "
                   "/Unix (b.pdf) >> /D [0 /FitR 1 2 3 4] /NewWindow true >> /C [0 0 1] >>");
    builder.object(12, "<< /Title (50%\t\x80) /Parent 10 0 R /Next 13 0 R /Dest (chap) /F 1 >>");
    builder.object(13,
                   "<< /Title (Tree) /Parent 10 0 R /Prev 12 0 R /A << /S /Launch /F (run.exe) "
                   "/Next << /S /GoTo /D (leaf) >> >> >>");
    builder.object(20, "<< /chap [4 0 R /FitH 500] >>");
    builder.object(21, "<< /Names [(leaf) " + leafValue + "] >>");
    return builder;
}

const char* const kExpectedXml =
    "<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>\r\n"
    "<Bookmarks>\r\n"
    "\t<Bookmark>\r\n\t\t<Item>1</Item>\r\n\t\t<Level>0</Level>\r\n"
    "\t\t<Name>A&amp;B &obr;x&cbr;</Name>\r\n\t\t<Color>FF007F</Color>\r\n"
    "\t\t<Style>BoldItalic</Style>\r\n"
    "\t\t<Action>\r\n\t\t\t<Type>Go to a page in this document</Type>\r\n"
    "\t\t\t<Page>1</Page>\r\n\t\t\t<Zoom>150</Zoom>\r\n\t\t\t<Destination>XYZ</Destination>\r\n"
    "\t\t\t<Top>700</Top>\r\n\t\t\t<Left>10</Left>\r\n\t\t</Action>\r\n"
    "\t</Bookmark>\r\n"
    "\t<Bookmark>\r\n\t\t<Item>2</Item>\r\n\t\t<Level>1</Level>\r\n"
    "\t\t<Name>Gr\xF6\xDF"
    "e &obr;&#x4E2D;</Name>\r\n\t\t<Color>000000</Color>\r\n"
    "\t\t<Style>Plain</Style>\r\n"
    "\t\t<Action>\r\n\t\t\t<Type>Open weblink</Type>\r\n"
    "\t\t\t<Uri>http://x/?a=1&amp;b=&lt;2&gt;</Uri>\r\n\t\t</Action>\r\n"
    "\t\t<Action>\r\n\t\t\t<Type>Execute a menu item</Type>\r\n"
    "\t\t\t<Actionname>NextPage</Actionname>\r\n\t\t</Action>\r\n"
    "\t</Bookmark>\r\n"
    "\t<Bookmark>\r\n\t\t<Item>3</Item>\r\n\t\t<Level>1</Level>\r\n"
    "\t\t<Name>Other</Name>\r\n\t\t<Color>0000FF</Color>\r\n\t\t<Style>Plain</Style>\r\n"
    "\t\t<Action>\r\n\t\t\t<Type>Go to a page in another document</Type>\r\n"
    "\t\t\t<Page>1</Page>\r\n\t\t\t<Destination>FitR</Destination>\r\n"
    "\t\t\t<Top>4</Top>\r\n\t\t\t<Left>1</Left>\r\n\t\t\t<Bottom>2</Bottom>\r\n"
    "\t\t\t<Right>3</Right>\r\n\t\t\t<Filename>b.pdf</Filename>\r\n"
    "\t\t\t<NewWindow>True</NewWindow>\r\n\t\t</Action>\r\n"
    "\t</Bookmark>\r\n"
    "\t<Bookmark>\r\n\t\t<Item>4</Item>\r\n\t\t<Level>0</Level>\r\n"
    "\t\t<Name>50%25%09%80</Name>\r\n\t\t<Color>000000</Color>\r\n\t\t<Style>Italic</Style>\r\n"
    "\t\t<Action>\r\n\t\t\t<Type>Go to a page in this document</Type>\r\n"
    "\t\t\t<Page>2</Page>\r\n\t\t\t<Destination>FitH</Destination>\r\n"
    "\t\t\t<Top>500</Top>\r\n\t\t</Action>\r\n"
    "\t</Bookmark>\r\n"
    "\t<Bookmark>\r\n\t\t<Item>5</Item>\r\n\t\t<Level>0</Level>\r\n"
    "\t\t<Name>Tree</Name>\r\n\t\t<Color>000000</Color>\r\n\t\t<Style>Plain</Style>\r\n"
    "\t\t<Action>\r\n\t\t\t<Type>Open a file</Type>\r\n"
    "\t\t\t<Filename>run.exe</Filename>\r\n\t\t</Action>\r\n"
    "\t\t<Action>\r\n\t\t\t<Type>Go to a page in this document</Type>\r\n"
    "\t\t\t<Page>3</Page>\r\n\t\t\t<Destination>Fit</Destination>\r\n\t\t</Action>\r\n"
    "\t</Bookmark>\r\n"
    "</Bookmarks>\r\n";

TEST(ExportJobTest, WritesTheWholeOutlineByteForByte) {
    TempDir dir;
    OutlinedDocument().writeTo(dir.file("in.pdf"));
    nextItemNumber = 1;
    fixture::RunResult run = RunProgram({"-i" + dir.file("in.pdf"), "-e" + dir.file("out.xml")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, std::string(Banner()) + "Input file: '" + dir.file("in.pdf") +
                           "', XML output file: '" + dir.file("out.xml") + "'\n\nDone.\n");
    EXPECT_EQ(readFile(dir.file("out.xml")), kExpectedXml);

    // The counter runs on across jobs, as in a batch.
    RunProgram({"-i" + dir.file("in.pdf"), "-e" + dir.file("again.xml")});
    EXPECT_NE(readFile(dir.file("again.xml")).find("<Item>6</Item>"), std::string::npos);
}

TEST(ExportJobTest, FailuresLeaveNoXmlFile) {
    TempDir dir;
    // A named destination whose value is neither an array nor a dictionary with D.
    OutlinedDocument("42").writeTo(dir.file("bad.pdf"));
    fixture::RunResult run = RunProgram({"-i" + dir.file("bad.pdf"), "-e" + dir.file("bad.xml")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.substr(run.out.size() - 28), "Bad named destination value\n");
    EXPECT_FALSE(fileExists(dir.file("bad.xml")));

    OutlinedDocument().writeTo(dir.file("in.pdf"));
    run = RunProgram({"-i" + dir.file("in.pdf"), "-e" + dir.file("no/such/folder.xml")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, std::string(Banner()) + "Input file: '" + dir.file("in.pdf") +
                           "', XML output file: '" + dir.file("no/such/folder.xml") +
                           "'\nXML file open error\n");

    // The XML name is the input itself: refused before anything is truncated.
    const std::string before = readFile(dir.file("in.pdf"));
    run = RunProgram({"-i" + dir.file("in.pdf"), "-e" + dir.path() + "/./in.pdf"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("\nOutput file would overwrite an input file: '"), std::string::npos);
    EXPECT_EQ(readFile(dir.file("in.pdf")), before);
}

TEST(ExportJobTest, EmptyOutlineAndLoopingSiblings) {
    TempDir dir;
    fixture::PdfBuilder empty = fixture::simpleDocument(1, "/Outlines 9 0 R");
    empty.object(9, "<< /Type /Outlines >>");
    empty.writeTo(dir.file("empty.pdf"));
    RunProgram({"-i" + dir.file("empty.pdf"), "-e" + dir.file("empty.xml")});
    EXPECT_EQ(
        readFile(dir.file("empty.xml")),
        "<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>\r\n<Bookmarks>\r\n</Bookmarks>\r\n");

    // Siblings that lead back, and a child whose First is its parent, end quietly.
    fixture::PdfBuilder loop = fixture::simpleDocument(1, "/Outlines 9 0 R");
    loop.object(9, "<< /First 10 0 R >>");
    loop.object(10, "<< /Title (a) /Next 11 0 R /First 10 0 R >>");
    loop.object(11, "<< /Title (b) /Next 10 0 R >>");
    loop.writeTo(dir.file("loop.pdf"));
    nextItemNumber = 1;
    fixture::RunResult run = RunProgram({"-i" + dir.file("loop.pdf"), "-e" + dir.file("loop.xml")});
    EXPECT_EQ(run.status, 0);
    const std::string xml = readFile(dir.file("loop.xml"));
    EXPECT_NE(xml.find("<Item>2</Item>"), std::string::npos);
    EXPECT_EQ(xml.find("<Item>3</Item>"), std::string::npos);
}

}  // namespace
