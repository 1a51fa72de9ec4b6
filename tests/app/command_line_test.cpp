#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <sstream>

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

// A text of the cases, its escapes read, with {ENOENT} and {EISDIR} as the
// system's texts of those errors.
std::string Unescaped(const std::string& text) {
    std::string out = fixture::Unescaped(text);
    for (const auto& [name, code] :
         {std::pair("{ENOENT}", ENOENT), std::pair("{EISDIR}", EISDIR)}) {
        for (size_t at; (at = out.find(name)) != std::string::npos;) {
            out.replace(at, std::strlen(name), platform::ErrorText(code));
        }
    }
    return out;
}

// The cases of tests/data/command_lines.txt, run one by one.
TEST(CommandLineTest, ArgumentsListsAndWhatTheyPrint) {
    std::istringstream cases(
        fixture::ReadFile(std::string(FOLIVANT_TEST_DATA) + "/command_lines.txt"));
    std::vector<std::string> arguments;
    std::string list, from, expected;
    auto runCase = [&]() {
        if (!arguments.empty()) {
            expected.pop_back();  // the line end after the last line
            EXPECT_EQ(RunIn(arguments, list, from), expected) << arguments[0] << " " << list;
        }
        arguments.clear();
        list = from = expected = "";
    };
    for (std::string line; std::getline(cases, line);) {
        if (line.rfind("$ ", 0) == 0) {
            runCase();
            std::istringstream words(line.substr(2));
            for (std::string word; words >> word;) arguments.push_back(Unescaped(word));
        } else if (line.rfind("list ", 0) == 0) {
            list = Unescaped(line.substr(5));
        } else if (line.rfind("from ", 0) == 0) {
            from = line.substr(5);
        } else if (line.rfind(">", 0) == 0) {
            expected += Unescaped(line.substr(std::min<size_t>(2, line.size()))) + "\n";
        }
    }
    runCase();
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
