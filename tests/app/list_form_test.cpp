#include <unistd.h>

#include "app/run_helpers.h"
#include "support/pdf_builder.h"
#include "support/test_files.h"

namespace {

using fixture::Banner;
using fixture::RunProgram;

const char* const kMarks =
    "<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>\r\n<Bookmarks>\r\n"
    "\t<Bookmark>\r\n\t\t<Item>1</Item>\r\n\t\t<Level>0</Level>\r\n\t\t<Name>Start</Name>\r\n"
    "\t\t<Action>\r\n\t\t\t<Type>Go to a page in this document</Type>\r\n"
    "\t\t\t<Page>1</Page>\r\n\t\t\t<Destination>Fit</Destination>\r\n\t\t</Action>\r\n"
    "\t</Bookmark>\r\n</Bookmarks>\r\n";

// Runs the program from inside a folder, as list entries name files relative
// to the current folder.
fixture::RunResult RunInside(const std::string& folder, const std::vector<std::string>& arguments) {
    char previous[4096];
    EXPECT_NE(getcwd(previous, sizeof previous), nullptr);
    EXPECT_EQ(chdir(folder.c_str()), 0);
    fixture::RunResult run = RunProgram(arguments);
    EXPECT_EQ(chdir(previous), 0);
    return run;
}

TEST(ListFormTest, RunsEveryEntryIntoTheFolder) {
    TempDir dir;
    fixture::simpleDocument(1).writeTo(dir.file("a.pdf"));
    fixture::simpleDocument(2).writeTo(dir.file("b.pdf"));
    writeFile(dir.file("marks.xml"), kMarks);
    // Lines end in CR LF or not at all; the output joins folder and entry with "/".
    writeFile(dir.file("names.txt"), "a.pdf\r\nb.pdf");
    fixture::RunResult run = RunInside(dir.path(), {"-inames.txt", "-fout", "-xmarks.xml"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, std::string(Banner()) +
                           "Input file: 'a.pdf', XML input file: 'marks.xml', output file: "
                           "'out/a.pdf'\n\nDone.\n"
                           "Input file: 'b.pdf', XML input file: 'marks.xml', output file: "
                           "'out/b.pdf'\n\nDone.\n");
    EXPECT_TRUE(fileExists(dir.file("out/a.pdf")));
    EXPECT_TRUE(fileExists(dir.file("out/b.pdf")));
    EXPECT_FALSE(qpdfCheck(dir.file("out/b.pdf")).has_value());

    // A line longer than any fixed buffer is still one entry.
    const std::string longName = std::string(300, 'n') + ".pdf";
    writeFile(dir.file("names.txt"), longName + "\n");
    run = RunInside(dir.path(), {"-inames.txt", "-fout", "-xmarks.xml"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              std::string(Banner()) + "Input file: '" + longName + "'Input file open error\n");
}

TEST(ListFormTest, FirstFailureEndsTheRun) {
    TempDir dir;
    fixture::simpleDocument(1).writeTo(dir.file("a.pdf"));
    writeFile(dir.file("list.txt"), dir.file("a.pdf") + "\n" + dir.file("a.pdf") + "\n");
    // Two arguments: the export grammar applies and the first entry fails.
    fixture::RunResult run = RunProgram({"-i" + dir.file("list.txt"), "-f" + dir.file("out")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, std::string(Banner()) + "-e parameter missing\n");

    // An empty line is an entry without a name; its job fails and the rest is not run.
    writeFile(dir.file("marks.xml"), kMarks);
    writeFile(dir.file("list.txt"), "\n" + dir.file("a.pdf") + "\n");
    run = RunProgram(
        {"-i" + dir.file("list.txt"), "-f" + dir.file("out"), "-x" + dir.file("marks.xml")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, std::string(Banner()) + "Input file: ''Input file open error\n");
}

}  // namespace
