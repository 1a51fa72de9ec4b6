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

// Runs in a folder holding a.pdf (one page), b.pdf (two pages), sub/c.pdf and
// sub/a.pdf, marks.xml, the given list, an earlier out.pdf and a folder
// named dir.xml; from the folder itself or from sub (`from`). What was
// printed, "[status]", and every file and folder written (a changed out.pdf
// among them) or left over.
std::string RunIn(const std::vector<std::string>& arguments, const std::string& list = "",
                  const std::string& from = "") {
    fixture::TempDir dir;
    std::filesystem::create_directories(dir.file("sub"));
    std::filesystem::create_directories(dir.file("dir.xml"));
    fixture::WriteFile(dir.file("a.pdf"), fixture::BuildPdf(fixture::Pages(1)));
    fixture::WriteFile(dir.file("b.pdf"), fixture::BuildPdf(fixture::Pages(2)));
    fixture::WriteFile(dir.file("sub/c.pdf"), fixture::BuildPdf(fixture::Pages(1)));
    fixture::WriteFile(dir.file("sub/a.pdf"), fixture::BuildPdf(fixture::Pages(1)));
    fixture::WriteFile(dir.file("marks.xml"), kMarks);
    fixture::WriteFile(dir.file("list.txt"), list);
    // A list named otherwise on the command line (LIST.TXT) holds the same.
    const std::string named = arguments.empty() ? "" : arguments[0].substr(2);
    if (named.size() > 4 && named.compare(named.size() - 4, 4, ".TXT") == 0) {
        fixture::WriteFile(dir.file(named), list);
    }
    fixture::WriteFile(dir.file("out.pdf"), "old");
    fixture::RunResult run = RunProgram(arguments, dir.file(from));
    std::string out = run.out + "[" + std::to_string(run.status) + "]";
    std::vector<std::string> made;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
        const std::string name = entry.path().generic_string().substr(dir.path().size() + 1);
        const bool given = name == "a.pdf" || name == "b.pdf" || name == "sub/c.pdf" ||
                           name == "sub/a.pdf" || name == "marks.xml" || name == "list.txt" ||
                           name == "sub" || name == "dir.xml" || name == "LIST.TXT";
        const bool kept = name == "out.pdf" && fixture::ReadFile(entry.path().string()) == "old";
        if (!given && !kept) made.push_back(name + (entry.is_directory() ? "/" : ""));
    }
    std::sort(made.begin(), made.end());
    for (const std::string& name : made) out += " " + name;
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
    const fixture::RunResult help = RunProgram({"--help"});
    EXPECT_EQ(help.out, usage.out);
    EXPECT_EQ(help.status, 0);
    const fixture::RunResult version = RunProgram({"--version"});
    EXPECT_EQ(version.out, "Folivant v1.09\n");
    EXPECT_EQ(version.status, 0);
}

TEST(CommandLineTest, ArgumentsListsAndWhatTheyPrint) {
    const std::string please = "please specify -f for output folder, e.g. -fc:\\test\n[1]";
    const std::string a = "Input file: 'a.pdf', XML input file: 'marks.xml', output file: ";
    const std::string b =
        "Input file: 'a.pdf', XML input file: 'list.txt', output file: 'out.pdf'\n";
    // One add of the list form: input, output, "Done.".
    auto added = [](const std::string& input, const std::string& output) {
        return "Input file: '" + input + "', XML input file: 'marks.xml', output file: '" + output +
               "'\n\nDone.\n";
    };
    const struct {
        std::vector<std::string> arguments;
        std::string list;
        std::string expected;
        std::string from = "";
    } cases[] = {
        {{"-ia*.pdf", "-ex.xml"},
         "",
         "\nError! Wildcards * are not permitted, if you want to process many files then do: dir "
         "/B *.pdf > list.txt, then Folivant -ilist.txt -fc:\\test\n\n[1]"},
        {{"-ia*.pdf"}, "", "Error parameter\n[1]"},
        {{"-ia.pdf", "-xx.xml"}, "", "-e parameter missing\n[1]"},
        {{"a.pdf", "-ex.xml"}, "", "-i parameter missing\n[1]"},
        {{"list.txt", "-fout", "-xmarks.xml"}, "a.pdf", "-i parameter missing\n[1]"},
        {{"-ia.pdf", "-xout.pdf", "-xm.xml"}, "", "-o parameter missing\n[1]"},
        {{"-ia.pdf", "-oout.pdf", "-em.xml"}, "", "-x parameter missing\n[1]"},
        {{"-ia.pdf", "-oout.pdf", "-xmarks.xml", "-Update"}, "", "-update parameter missing\n[1]"},
        {{"-ia.pdf", "-oout.pdf", "-xmarks.xml", "-update", "x"}, "", "Error parameter\n[1]"},
        {{"-ilist.txt"}, "", please},
        {{"-ilist.txt", "-oout"}, "", please},
        {{"-ilist.txt", "-f", "-xmarks.xml"}, "a.pdf", please},
        {{"-ilist.txt", "-fout"}, "a.pdf", "-x parameter missing\n[1]"},
        {{"-ilist.txt", "-fout", "-xmarks.xml", "-up"}, "a.pdf", "-update parameter missing\n[1]"},
        {{"-inone.pdf", "-ex.xml"}, "", "Input file: 'none.pdf'Input file open error\n[1]"},
        {{"-inone.txt", "-fout", "-xmarks.xml"}, "", "Unable to open file list: 'none.txt'\r\n[1]"},
        // Folders are not files to read.
        {{"-idir.xml", "-ex.xml"}, "", "Input file: 'dir.xml'Input file open error\n[1]"},
        {{"-ia.pdf", "-oout.pdf", "-xdir.xml"},
         "",
         "Input file: 'a.pdf', XML input file: 'dir.xml'XML file open error\n[1]"},
        // Without an outline the bookmark file has no records, and replaces an older one.
        {{"-ia.pdf", "-ex.xml"},
         "",
         "Input file: 'a.pdf', XML output file: 'x.xml'\n\nDone.\n[0] x.xml"},
        {{"-ia.pdf", "-elist.txt"},
         "old bookmarks",
         "Input file: 'a.pdf', XML output file: 'list.txt'\n\nDone.\n[0]"},
        {{"-ia.pdf", "-oout.pdf", "-xmarks.xml"}, "", a + "'out.pdf'\n\nDone.\n[0] out.pdf"},
        {{"-ia.pdf", "-ea.pdf"},
         "",
         "Input file: 'a.pdf', XML output file: 'a.pdf'\n\nOutput file would overwrite an input "
         "file: 'a.pdf'\n[1]"},
        {{"-ia.pdf", "-ob.pdf", "-xmarks.xml"}, "", a + "'b.pdf'\n\nDone.\n[0]"},
        {{"-ia.pdf", "-oout.pdf", "-xlist.txt"},
         "<?xml version='1.0' encoding='windows-1252'?><Bookmarks><Bookmark><Name>\xC3\xA9</Name>"
         "</Bookmark></Bookmarks>",
         b + "Warning: the bookmark file is read as UTF-8, as all its text is\n\nDone.\n[0] "
             "out.pdf"},
        // What is not a bookmark file is refused, and an earlier output stays.
        {{"-ia.pdf", "-oout.pdf", "-xlist.txt"},
         "<html><body>\n<p>x</p></body></html>\n",
         b + "Error in .xml file: no <Bookmarks> element\n[1]"},
        {{"-ia.pdf", "-oout.pdf", "-xlist.txt"},
         std::string("<Bookmarks>\n\x89PNG\x1A\0\x01", 18),
         b + "Error in .xml file: line 2, column 5: not well-formed (invalid token)\n[1]"},
        {{"-ia.pdf", "-oout.pdf", "-xlist.txt"},
         std::string(kMarks).replace(136, 1, "5"),
         b + "Error in .xml file: Page number more than number of pages in .pdf file\n[1]"},
        {{"-ia.pdf", "-omarks.xml", "-xmarks.xml"},
         "",
         a + "'marks.xml'\n\nOutput file would overwrite an input file: 'marks.xml'\n[1]"},
        // The list form: each entry into the folder under its base name; lines
        // end in CR, LF or CR LF; blanks, blank lines and a byte-order mark go.
        {{"-ilist.txt", "-fout", "-xmarks.xml"},
         "a.pdf\r\nb.pdf",
         added("a.pdf", "out/a.pdf") + added("b.pdf", "out/b.pdf") +
             "[0] out/ out/a.pdf out/b.pdf"},
        {{"-iLIST.TXT", "-fout", "-xmarks.xml"},
         "\xEF\xBB\xBF a.pdf \r\r\n\t\nsub/c.pdf\r",
         added("a.pdf", "out/a.pdf") + added("sub/c.pdf", "out/c.pdf") +
             "[0] out/ out/a.pdf out/c.pdf"},
        {{"-i../list.txt", "-fout/deeper", "-x../marks.xml"},
         "../b.pdf\n",
         "Input file: '../b.pdf', XML input file: '../marks.xml', output file: "
         "'out/deeper/b.pdf'\n\n"
         "Done.\n[0] sub/out/ sub/out/deeper/ sub/out/deeper/b.pdf",
         "sub"},
        // Outputs that would collide are refused before anything is made.
        {{"-ilist.txt", "-fout", "-xmarks.xml"},
         "a.pdf\nsub/a.pdf\n",
         "List entries would write the same output file: 'out/a.pdf'\n[1]"},
        {{"-ilist.txt", "-fsub", "-xmarks.xml"},
         "b.pdf\nsub/b.pdf\n",
         "List entries would write the same output file: 'sub/b.pdf'\n[1]"},
        // The first failure ends the run.
        {{"-ilist.txt", "-fout", "-xmarks.xml", "-update"},
         "a.pdf\n",
         a + "'out/a.pdf'\nNo bookmarks in pdf, update impossible\n[1] out/"},
        {{"-ilist.txt", "-fout", "-xmarks.xml"},
         std::string(300, 'n') + "\n",
         "Input file: '" + std::string(300, 'n') + "'Input file open error\n[1] out/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RunIn(c.arguments, c.list, c.from), c.expected)
            << c.arguments[0] << " " << c.list;
    }
}

}  // namespace
