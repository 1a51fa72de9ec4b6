#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "base/platform.h"
#include "support/fixture.h"
#include "support/harness.h"

namespace {

namespace fs = std::filesystem;
using fixture::RunProgram;

const char* const kMarks =
    "<Bookmarks>\r\n\t<Bookmark>\r\n\t\t<Level>0</Level>\r\n\t\t<Name>Start</Name>\r\n"
    "\t\t<Action>\r\n\t\t\t<Type>Go to a page in this document</Type>\r\n"
    "\t\t\t<Page>1</Page>\r\n\t\t</Action>\r\n\t</Bookmark>\r\n</Bookmarks>\r\n";

// Every file and folder under the folder but those given, a changed out.pdf
// among them, sorted: " name name/ ...".
std::string MadeIn(const fixture::TempDir& dir, const std::vector<std::string>& given) {
    std::vector<std::string> made;
    for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
        const std::string name = entry.path().generic_string().substr(dir.path().size() + 1);
        const bool kept = name == "out.pdf" && fixture::ReadFile(entry.path().string()) == "old";
        if (!kept && std::find(given.begin(), given.end(), name) == given.end()) {
            made.push_back(name + (entry.is_directory() ? "/" : ""));
        }
    }
    std::sort(made.begin(), made.end());
    std::string out;
    for (const std::string& name : made) out += " " + name;
    return out;
}

// What one add of the list form prints.
std::string Added(const std::string& input, const std::string& output) {
    return "Input file: '" + input + "', XML input file: 'marks.xml', output file: '" + output +
           "'\n\nDone.\n";
}

// Runs in a folder holding a.pdf (one page), b.pdf (two pages), sub/c.pdf and
// sub/a.pdf, marks.xml, the given list, an earlier out.pdf and a folder
// named dir.xml; from the folder itself or from sub (`from`). What was
// printed, "[status]", and every file and folder written or left over.
std::string RunIn(const std::vector<std::string>& arguments, const std::string& list = "",
                  const std::string& from = "") {
    fixture::TempDir dir;
    fs::create_directories(dir.file("sub"));
    fs::create_directories(dir.file("dir.xml"));
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
    return run.out + "[" + std::to_string(run.status) + "]" +
           MadeIn(dir, {"a.pdf", "b.pdf", "sub/c.pdf", "sub/a.pdf", "marks.xml", "list.txt", "sub",
                        "dir.xml", "LIST.TXT"});
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

// The usage text is the one the README shows, with the same line ends as
// every other message.
TEST(CommandLineTest, UsageTextIsTheReadmes) {
    const fixture::RunResult usage = RunProgram({});
    std::string readme = fixture::ReadFile(FOLIVANT_README);
    readme = readme.substr(readme.find("```text\n") + 8);
    EXPECT_EQ(usage.out, readme.substr(0, readme.find("```")) + "\n\n");
    EXPECT_EQ(usage.status, 0);
    const fixture::RunResult help = RunProgram({"--help"});
    EXPECT_EQ(help.out, usage.out);
    EXPECT_EQ(help.status, 0);
    const fixture::RunResult version = RunProgram({"--version"});
    EXPECT_EQ(version.out, "Folivant " FOLIVANT_VERSION "\n");
    EXPECT_EQ(version.status, 0);
}

TEST(CommandLineTest, ArgumentsListsAndWhatTheyPrint) {
    const std::string please = "please specify -f for output folder, e.g. -fc:\\test\n[1]";
    const std::string workers = "-j parameter must be a number from 1 to 64\n[1]";
    const std::string a = "Input file: 'a.pdf', XML input file: 'marks.xml', output file: ";
    const std::string b =
        "Input file: 'a.pdf', XML input file: 'list.txt', output file: 'out.pdf'\n";
    const std::string noSuchFile = platform::ErrorText(ENOENT);
    const std::string isFolder = platform::ErrorText(EISDIR);
    const struct {
        std::vector<std::string> arguments;
        std::string list;
        std::string expected;
        std::string from = "";
    } cases[] = {
        {{"-ia*.pdf", "-ex.xml"},
         "",
         "\nError! Wildcards * are not permitted, if you want to process many files then do: dir "
         "/B *.pdf > list.txt, then Folivant -ilist.txt -fc:\\test -xbookmarks.xml\n\n[1]"},
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
        // -j<N> comes after the first two arguments; one job needs no workers.
        {{"-ilist.txt", "-fout", "-xmarks.xml", "-j0"}, "a.pdf", workers},
        {{"-ilist.txt", "-fout", "-j65", "-xmarks.xml"}, "a.pdf", workers},
        {{"-ilist.txt", "-fout", "-xmarks.xml", "-j2x"}, "a.pdf", workers},
        {{"-ia.pdf", "-j2", "-ex.xml"}, "", "-o parameter missing\n[1]"},
        {{"-ia.pdf", "-ex.xml", "-j64"},
         "",
         "Input file: 'a.pdf', XML output file: 'x.xml'\n\nDone.\n[0] x.xml"},
        // -p and --verbose stand anywhere after -i, and change no job; a file
        // that needs no password opens with any.
        {{"-ia.pdf", "-psecret", "-ex.xml", "--verbose"},
         "",
         "Input file: 'a.pdf', XML output file: 'x.xml'\n\nDone.\n[0] x.xml"},
        {{"-ia.pdf", "-oout.pdf", "--verbose", "-xmarks.xml", "-p", "-update"},
         "",
         a + "'out.pdf'\nNo bookmarks in pdf, update impossible\n[1]"},
        {{"-ilist.txt", "-fout", "-p\xC3\xA9", "-xmarks.xml"},
         "a.pdf\n",
         Added("a.pdf", "out/a.pdf") + "[0] out/ out/a.pdf"},
        // Messages stand on lines of their own, after the line naming the files.
        {{"-inone.pdf", "-ex.xml"}, "", "Input file: 'none.pdf'\nInput file open error\n[1]"},
        {{"-inone.txt", "-fout", "-xmarks.xml"}, "", "Unable to open file list: 'none.txt'\n[1]"},
        // Folders are not files to read.
        {{"-idir.xml", "-ex.xml"}, "", "Input file: 'dir.xml'\nInput file open error\n[1]"},
        {{"-ia.pdf", "-oout.pdf", "-xdir.xml"},
         "",
         "Input file: 'a.pdf', XML input file: 'dir.xml'\nXML file open error\n[1]"},
        // Outputs that cannot be made say why, and nothing is written.
        {{"-ia.pdf", "-e"},
         "",
         "Input file: 'a.pdf', XML output file: ''\nOutput file create error: '': " + noSuchFile +
             "\n[1]"},
        {{"-ia.pdf", "-odir.xml", "-xmarks.xml"},
         "",
         a + "'dir.xml'\nOutput file create error: 'dir.xml': " + isFolder + "\n[1]"},
        {{"-ia.pdf", "-enone/x.xml"},
         "",
         "Input file: 'a.pdf', XML output file: 'none/x.xml'\nOutput file create error: "
         "'none/x.xml': " +
             noSuchFile + "\n[1]"},
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
         "Input file: 'a.pdf', XML output file: 'a.pdf'\nOutput file would overwrite an input "
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
         a + "'marks.xml'\nOutput file would overwrite an input file: 'marks.xml'\n[1]"},
        // The list form: each entry into the folder under its base name; lines
        // end in CR, LF or CR LF; blanks, blank lines and a byte-order mark go.
        {{"-ilist.txt", "-fout", "-xmarks.xml"},
         "a.pdf\r\nb.pdf",
         Added("a.pdf", "out/a.pdf") + Added("b.pdf", "out/b.pdf") +
             "[0] out/ out/a.pdf out/b.pdf"},
        {{"-iLIST.TXT", "-fout", "-xmarks.xml", "-j2"},
         "\xEF\xBB\xBF a.pdf \r\r\n\t\nsub/c.pdf\r",
         Added("a.pdf", "out/a.pdf") + Added("sub/c.pdf", "out/c.pdf") +
             "[0] out/ out/a.pdf out/c.pdf"},
        {{"-i../list.txt", "-fout/deeper", "-x../marks.xml"},
         "../b.pdf\n",
         "Input file: '../b.pdf', XML input file: '../marks.xml', output file: "
         "'out/deeper/b.pdf'\n\n"
         "Done.\n[0] sub/out/ sub/out/deeper/ sub/out/deeper/b.pdf",
         "sub"},
        // Lists that PowerShell writes: UTF-16 with a byte-order mark.
        {{"-ilist.txt", "-fout", "-xmarks.xml"},
         std::string("\xFF\xFE"
                     "a\0.\0p\0d\0f\0\r\0\n\0",
                     16),
         Added("a.pdf", "out/a.pdf") + "[0] out/ out/a.pdf"},
        {{"-ilist.txt", "-fout", "-xmarks.xml"},
         std::string("\xFE\xFF\0s\0u\0b\0/\0c\0.\0p\0d\0f", 20),
         Added("sub/c.pdf", "out/c.pdf") + "[0] out/ out/c.pdf"},
        // A list without entries is no failure, but says so; nothing is made.
        {{"-ilist.txt", "-fout", "-xmarks.xml"},
         " \r\n\n",
         "Warning: the list names no PDF files\n[0]"},
        // The whole list is checked before anything is made: outputs that
        // collide, outputs that are files the run reads, files that are not.
        {{"-ilist.txt", "-fout", "-xmarks.xml"},
         "a.pdf\nsub/a.pdf\n",
         "List entries would write the same output file: 'out/a.pdf'\n[1]"},
        {{"-ilist.txt", "-fsub", "-xmarks.xml"},
         "b.pdf\nsub/c.pdf\n",
         "Output file would overwrite an input file: 'sub/c.pdf'\n[1]"},
        {{"-ilist.txt", "-fsub", "-xsub/a.pdf"},
         "b.pdf\na.pdf\n",
         "Output file would overwrite an input file: 'sub/a.pdf'\n[1]"},
        {{"-ilist.txt", "-f.", "-xmarks.xml"},
         "dir.xml/../b.pdf\n",
         "Output file would overwrite an input file: './b.pdf'\n[1]"},
        {{"-ilist.txt", "-fout", "-xnone.xml"},
         "a.pdf\n",
         "XML file open error: 'none.xml': " + noSuchFile + "\n[1]"},
        {{"-ilist.txt", "-fout", "-xmarks.xml"},
         "a.pdf\nnone.pdf\n",
         "Input file open error: 'none.pdf': " + noSuchFile + "\n[1]"},
        {{"-ilist.txt", "-fout", "-xmarks.xml"},
         "a.pdf\ndir.xml\n",
         "Input file open error: 'dir.xml': " + isFolder + "\n[1]"},
        // The first failure ends the run.
        {{"-ilist.txt", "-fout", "-xmarks.xml", "-update"},
         "a.pdf\n",
         a + "'out/a.pdf'\nNo bookmarks in pdf, update impossible\n[1] out/"},
        {{"-ilist.txt", "-fout", "-xmarks.xml"},
         "marks.xml\na.pdf\n",
         "Input file: 'marks.xml', XML input file: 'marks.xml'\nPDF file was damaged\n[1] out/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RunIn(c.arguments, c.list, c.from), c.expected)
            << c.arguments[0] << " " << c.list;
    }
}

// Lists as people make them, checked whole and at once: a long list is
// checked in one pass over its names; names that differ only in letter case
// are one output where the system takes them as one file; a list in the
// system's own encoding names the files it lists.
TEST(CommandLineTest, ListsAreCheckedWholeAndQuickly) {
    fixture::TempDir dir;
    fs::create_directories(dir.file("sub"));
    fixture::WriteFile(dir.file("marks.xml"), kMarks);
    std::string list;
    for (int i = 0; i < 5000; ++i) fixture::WriteFile(dir.file("sub/" + std::to_string(i)), "");
    std::chrono::duration<double> took[2];
    for (int i = 0; i < 5000; ++i) {
        list += "sub/" + std::to_string(i) + "\n";
        if (i != 999 && i != 4999) continue;
        // The last output is a folder: refused once every name has been looked at.
        const std::string last = "out/" + std::to_string(i);
        fs::create_directories(dir.file(last));
        fixture::WriteFile(dir.file("list.txt"), list);
        const auto start = std::chrono::steady_clock::now();
        const fixture::RunResult refused =
            RunProgram({"-ilist.txt", "-fout", "-xmarks.xml"}, dir.path());
        took[i / 4999] = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(refused.out, "Output file create error: '" + last +
                                   "': " + platform::ErrorText(EISDIR) + "\n");
        fs::remove(dir.file(last));
        EXPECT_TRUE(fs::is_empty(dir.file("out")));
    }
    // Five times the entries take about five times as long, whatever the
    // system's speed; comparing every pair would take 25 times as long.
    EXPECT_LT(took[1].count(), 10 * took[0].count() + 0.1);
    fs::remove(dir.file("out"));

    fixture::WriteFile(dir.file("Report.pdf"), fixture::BuildPdf(fixture::Pages(1)));
    fixture::WriteFile(dir.file("sub/report.PDF"), fixture::BuildPdf(fixture::Pages(1)));
    fixture::WriteFile(dir.file("list.txt"), "Report.pdf\nsub/report.PDF\n");
    const fixture::RunResult cases = RunProgram({"-ilist.txt", "-fout", "-xmarks.xml"}, dir.path());
    if (platform::NameKey("report.PDF") == platform::NameKey("Report.pdf")) {
        EXPECT_EQ(cases.out, "List entries would write the same output file: 'out/report.PDF'\n");
        EXPECT_FALSE(fixture::FileExists(dir.file("out")));
    } else {
        EXPECT_EQ(cases.status, 0) << cases.out;
        EXPECT_TRUE(fixture::FileExists(dir.file("out/report.PDF")));
    }

    // "caf\xE9.pdf" as Windows-1252 has it: Windows reads it in the console's
    // code page or the ANSI one, whichever names the file; elsewhere the name
    // is those bytes.
    const std::string bytes = "caf\xE9.pdf";
    const std::string name = platform::LocalTextReadings(bytes).back();
    fixture::WriteFile(dir.file(name), fixture::BuildPdf(fixture::Pages(1)));
    fixture::WriteFile(dir.file("list.txt"), bytes + "\r\n");
    const fixture::RunResult local = RunProgram({"-ilist.txt", "-fout", "-xmarks.xml"}, dir.path());
    EXPECT_EQ(local.out, Added(name, "out/" + name));
    EXPECT_TRUE(fixture::FileExists(dir.file("out/" + name)));
}

// What the list form prints and writes, the same bytes on one worker and on several.
struct ListRun {
    std::string printed;
    std::vector<std::string> outputs;
};
ListRun RunList(const fixture::TempDir& dir, std::vector<std::string> arguments,
                const std::vector<std::string>& names, const std::string& workers) {
    fs::remove_all(dir.file("out"));
    arguments.push_back(workers);
    const fixture::RunResult run = RunProgram(arguments, dir.path());
    ListRun result{run.out + "[" + std::to_string(run.status) + "]", {}};
    for (const std::string& name : names) {
        const std::string output = dir.file("out/" + name);
        result.outputs.push_back(fixture::FileExists(output) ? fixture::ReadFile(output) : "");
    }
    return result;
}

// One bookmark file edits every PDF of a list alike: each entry numbers its
// items from 1, so every output is the update of the example, whichever
// worker wrote it.
TEST(CommandLineTest, EveryEntryOfAListIsEditedAlikeOnAnyNumberOfWorkers) {
    const fs::path examples = fs::path(FOLIVANT_README).parent_path() / "examples";
    const fs::path expected = fs::path(FOLIVANT_TEST_DATA) / "examples";
    fixture::TempDir dir;
    std::vector<std::string> names;
    std::string list;
    for (int i = 1; i <= 7; ++i) {
        names.push_back("copy" + std::to_string(i) + ".pdf");
        fs::copy_file(examples / "sample.pdf", dir.file(names.back()));
        list += names.back() + "\n";
    }
    fs::copy_file(examples / "update.xml", dir.file("update.xml"));
    fs::copy_file(examples / "marks.xml", dir.file("marks.xml"));
    fixture::WriteFile(dir.file("list.txt"), list);
    const std::vector<std::string> update{"-ilist.txt", "-fout", "-xupdate.xml", "-update"};
    const ListRun inTurn = RunList(dir, update, names, "-j1");
    EXPECT_EQ(inTurn.printed.find("Warning"), std::string::npos) << inTurn.printed;
    EXPECT_EQ(inTurn.printed.substr(inTurn.printed.size() - 3), "[0]");
    for (const std::string& output : inTurn.outputs) {
        EXPECT_EQ(output, fixture::ReadFile((expected / "updated.pdf").string()));
    }
    const ListRun onThree = RunList(dir, update, names, "-j3");
    EXPECT_EQ(onThree.printed, inTurn.printed);
    EXPECT_EQ(onThree.outputs, inTurn.outputs);

    // A failing entry: what ran before it is printed as on one worker, then
    // its message; the entries already running when it failed finish.
    fixture::WriteFile(dir.file(names[2]), "not a PDF");
    const std::vector<std::string> add{"-ilist.txt", "-fout", "-xmarks.xml"};
    const ListRun failedInTurn = RunList(dir, add, names, "-j1");
    const std::string upToFailure = failedInTurn.printed.substr(0, failedInTurn.printed.size() - 3);
    EXPECT_EQ(failedInTurn.printed.substr(failedInTurn.printed.size() - 24),
              "PDF file was damaged\n[1]");
    for (int run = 0; run < 5; ++run) {
        const ListRun failed = RunList(dir, add, names, "-j3");
        EXPECT_EQ(failed.printed.substr(0, upToFailure.size()), upToFailure);
        EXPECT_EQ(failed.printed.substr(failed.printed.size() - 3), "[1]");
        // Each entry printed after the failure is one that ran to its end.
        const std::string after = failed.printed.substr(upToFailure.size());
        std::string finished;
        for (size_t k = 3; k < names.size(); ++k) {
            const bool ran = finished.size() + 3 < after.size();
            if (ran) finished += Added(names[k], "out/" + names[k]);
            EXPECT_EQ(failed.outputs[k].empty(), !ran) << names[k];
        }
        EXPECT_EQ(after, finished + "[1]");
    }

    // A failure at the head of a long list stops the rest: the other worker
    // finishes what it holds, and no more is started.
    std::string longList = "broken.pdf\n";
    fixture::WriteFile(dir.file("broken.pdf"), "not a PDF");
    for (int i = 0; i < 300; ++i) {
        fs::copy_file(dir.file(names[0]), dir.file("many" + std::to_string(i) + ".pdf"));
        longList += "many" + std::to_string(i) + ".pdf\n";
    }
    fixture::WriteFile(dir.file("list.txt"), longList);
    const ListRun stopped = RunList(dir, add, {}, "-j2");
    EXPECT_EQ(stopped.printed.substr(stopped.printed.size() - 3), "[1]");
    EXPECT_LT(std::distance(fs::directory_iterator(dir.file("out")), fs::directory_iterator()),
              300);
}

// --verbose says where in the input a failure is, when that is known.
TEST(CommandLineTest, VerboseSaysWhere) {
    fixture::TempDir dir;
    fixture::WriteFile(dir.file("in.pdf"),
                       fixture::BuildPdf("1 0 obj << /Type /Pages /Kids [] >> endobj\n"
                                         "2 0 obj [1 2] endobj\n@xref table /Root 2 0 R"));
    const std::string failure = "Input file: 'in.pdf'\nCatalog CPdfElement is wrong type\n";
    EXPECT_EQ(RunProgram({"-iin.pdf", "-ex.xml"}, dir.path()).out, failure);
    EXPECT_EQ(RunProgram({"-iin.pdf", "--verbose", "-ex.xml"}, dir.path()).out,
              failure + "Where: object 2\n");
}

}  // namespace
