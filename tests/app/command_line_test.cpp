#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/fixture.h"
#include "support/harness.h"

namespace {

using fixture::RunProgram;

const char* const kMarks =
    "<Bookmarks>\r\n\t<Bookmark>\r\n\t\t<Level>0</Level>\r\n\t\t<Name>Start</Name>\r\n"
    "\t\t<Action>\r\n\t\t\t<Type>Go to a page in this document</Type>\r\n"
    "\t\t\t<Page>1</Page>\r\n\t\t</Action>\r\n\t</Bookmark>\r\n</Bookmarks>\r\n";

// Runs in a folder holding a.pdf (one page), b.pdf (two pages), marks.xml,
// the given list and an earlier out.pdf; what was printed, "[status]", and
// every file written (a changed out.pdf among them) or left over.
std::string RunIn(const std::vector<std::string>& arguments, const std::string& list = "") {
    fixture::TempDir dir;
    fixture::WriteFile(dir.file("a.pdf"), fixture::BuildPdf(fixture::Pages(1)));
    fixture::WriteFile(dir.file("b.pdf"), fixture::BuildPdf(fixture::Pages(2)));
    fixture::WriteFile(dir.file("marks.xml"), kMarks);
    fixture::WriteFile(dir.file("list.txt"), list);
    fixture::WriteFile(dir.file("out.pdf"), "old");
    fixture::RunResult run = RunProgram(arguments, dir.path());
    std::string out = run.out + "[" + std::to_string(run.status) + "]";
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
        const std::string name = entry.path().generic_string().substr(dir.path().size() + 1);
        const bool kept = name == "out.pdf" && fixture::ReadFile(entry.path().string()) == "old";
        const bool input =
            name == "a.pdf" || name == "b.pdf" || name == "marks.xml" || name == "list.txt";
        if (entry.is_regular_file() && !kept && !input) out += " " + name;
    }
    return out;
}

// Names outside ASCII, with blanks, in every place a name goes: the files are
// found and made under those names, and the messages show them as typed.
TEST(CommandLineTest, NamesOutsideAsciiAreFilesAndMessagesAlike) {
    fixture::TempDir dir;
    const std::string pdf =
        "Gr\xC3\xBC\xC3\x9F"
        "e \xE4\xB8\xAD.pdf";
    const std::string xml = "\xC3\xA9t\xC3\xA9 marks.xml";
    fixture::WriteFile(dir.file(pdf), fixture::BuildPdf(fixture::Pages(1)));
    fixture::WriteFile(dir.file(xml), kMarks);
    const fixture::RunResult add =
        RunProgram({"-i" + pdf, "-o\xCE\xB1.pdf", "-x" + xml}, dir.path());
    EXPECT_EQ(add.out, "Input file: '" + pdf + "', XML input file: '" + xml +
                           "', output file: '\xCE\xB1.pdf'\n\nDone.\n");
    const fixture::RunResult exported =
        RunProgram({"-i\xCE\xB1.pdf", "-e\xCF\x89.xml"}, dir.path());
    EXPECT_EQ(exported.status, 0) << exported.out;
    EXPECT_TRUE(fixture::FileExists(dir.file("\xCF\x89.xml")));
}

// The usage text is the one the README shows, with CR LF where it has them.
TEST(CommandLineTest, UsageTextIsTheReadmes) {
    const fixture::RunResult usage = RunProgram({});
    std::string readme = fixture::ReadFile(FOLIVANT_README), text;
    readme = readme.substr(readme.find("```text\n") + 8);
    for (char c : usage.out) text += c == '\r' ? "" : std::string(1, c);
    EXPECT_EQ(text, readme.substr(0, readme.find("```")) + "\n\n");
    EXPECT_EQ(std::count(usage.out.begin(), usage.out.end(), '\r'), 6);
    EXPECT_EQ(usage.status, 0);
}

TEST(CommandLineTest, ArgumentsListsAndWhatTheyPrint) {
    const std::string please = "please specify -f for output folder, e.g. -fc:\\test\n[1]";
    const std::string a = "Input file: 'a.pdf', XML input file: 'marks.xml', output file: ";
    const std::string b =
        "Input file: 'a.pdf', XML input file: 'list.txt', output file: 'out.pdf'\n";
    const struct {
        std::vector<std::string> arguments;
        std::string list;
        std::string expected;
    } cases[] = {
        {{"-ia*.pdf", "-ex.xml"},
         "",
         "\nError! Wildcards * are not permitted, if you want to process many files then do: dir "
         "/B *.pdf > list.txt, then Folivant -ilist.txt -fc:\\test\n\n[1]"},
        {{"-ia*.pdf"}, "", "Error parameter\n[1]"},
        {{"-ia.pdf", "-xx.xml"}, "", "-e parameter missing\n[1]"},
        {{"a.pdf", "-ex.xml"}, "", "-i parameter missing\n[1]"},
        {{"-ia.pdf", "-xout.pdf", "-xm.xml"}, "", "-o parameter missing\n[1]"},
        {{"-ia.pdf", "-oout.pdf", "-em.xml"}, "", "-x parameter missing\n[1]"},
        {{"-ia.pdf", "-oout.pdf", "-xmarks.xml", "-Update"}, "", "-update parameter missing\n[1]"},
        {{"-ia.pdf", "-oout.pdf", "-xmarks.xml", "-update", "x"}, "", "Error parameter\n[1]"},
        {{"-ilist.TXT", "-fout"}, "", "-e parameter missing\n[1]"},
        {{"-ilist.txt"}, "", please},
        {{"-ilist.txt", "-oout"}, "", please},
        {{"-inone.pdf", "-ex.xml"}, "", "Input file: 'none.pdf'Input file open error\n[1]"},
        {{"-inone.txt", "-fout", "-xmarks.xml"}, "", "Unable to open file list: 'none.txt'\r\n[1]"},
        // Without an outline there is nothing to export and no file is made.
        {{"-ia.pdf", "-ex.xml"}, "", "Input file: 'a.pdf'\nDone.\n[0]"},
        {{"-ia.pdf", "-oout.pdf", "-xmarks.xml"}, "", a + "'out.pdf'\n\nDone.\n[0] out.pdf"},
        {{"-ia.pdf", "-ea.pdf"}, "", "Input file: 'a.pdf'\nDone.\n[0]"},
        {{"-ia.pdf", "-ob.pdf", "-xmarks.xml"}, "", a + "'b.pdf'\n\nDone.\n[0]"},
        {{"-ia.pdf", "-oout.pdf", "-xlist.txt"},
         "<Bookmarks><Bookmark><Name>\xC3\xA9</Name></Bookmark></Bookmarks>",
         b + "Warning: the bookmark file is read as UTF-8, as all its text is\n\nDone.\n[0] "
             "out.pdf"},
        // What is not a bookmark file is refused, and an earlier output stays.
        {{"-ia.pdf", "-oout.pdf", "-xlist.txt"},
         "<html><body>\n<p>x</p></body></html>\n",
         b + "Error in .xml file: no <Bookmarks> element\n[1]"},
        {{"-ia.pdf", "-oout.pdf", "-xlist.txt"},
         std::string("<Bookmarks>\n\x89PNG\x1A\0\x01", 18),
         b + "Error in .xml file: binary data outside element values\n[1]"},
        {{"-ia.pdf", "-oout.pdf", "-xlist.txt"},
         std::string(kMarks).replace(136, 1, "5"),
         b + "Error in .xml file: Page number more than number of pages in .pdf file\n[1]"},
        {{"-ia.pdf", "-omarks.xml", "-xmarks.xml"},
         "",
         a + "'marks.xml'\n\nOutput file would overwrite an input file: 'marks.xml'\n[1]"},
        // The list form: lines end in CR, LF or the file's end; the first failure ends the run.
        {{"-ilist.txt", "-fout", "-xmarks.xml"},
         "a.pdf\r\nb.pdf",
         a + "'out/a.pdf'\n\nDone.\nInput file: 'b.pdf', XML input file: 'marks.xml', output "
             "file: 'out/b.pdf'\n\nDone.\n[0] out/a.pdf out/b.pdf"},
        {{"-ilist.txt", "-fout", "-xmarks.xml"},
         "\xEF\xBB\xBF"
         "a.pdf\r\nb.pdf\r\n",
         a + "'out/a.pdf'\n\nDone.\nInput file: 'b.pdf', XML input file: 'marks.xml', output "
             "file: 'out/b.pdf'\n\nDone.\n[0] out/a.pdf out/b.pdf"},
        {{"-ilist.txt", "-fout", "-xmarks.xml", "-update"},
         "a.pdf\n",
         a + "'out/a.pdf'\nNo bookmarks in pdf, update impossible\n[1]"},
        {{"-ilist.txt", "-fout", "-xmarks.xml"},
         "\na.pdf\n",
         "Input file: ''Input file open error\n[1]"},
        {{"-ilist.txt", "-fout", "-xmarks.xml"},
         std::string(300, 'n') + "\n",
         "Input file: '" + std::string(300, 'n') + "'Input file open error\n[1]"},
    };
    for (const auto& c : cases) EXPECT_EQ(RunIn(c.arguments, c.list), c.expected);
}

}  // namespace
