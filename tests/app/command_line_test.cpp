#include <sys/wait.h>

#include <cstdlib>

#include "app/run_helpers.h"
#include "support/pdf_builder.h"
#include "support/test_files.h"

namespace {

using fixture::Banner;
using fixture::RunProgram;

const char* const kUsage =
    "Parameters:\n"
    "-i<filename> input PDF file filename\n"
    "-o<filename> output PDF file filename\n"
    "-f<pdf output folder> destination folder, the source file title is used for output pdf file "
    "title\n"
    "-x<xml input filename> input bookmark file\n"
    "-e<bookmark xml output filename> output bookmark file\n"
    "-update updates bookmark in pdf file from -x bookmark filename\n"
    "\n"
    "\r\nExample usage:-\r\n"
    "Folivant -i<pdf input filename> -e<bookmark xml output filename>\n"
    "for adding (remove all existing first):\n"
    "Folivant -i<pdf input filename> -o<pdf output filename> -x<xml input filename> \n"
    "for updating:\n"
    "Folivant -i<pdf input filename> -o<pdf output filename> -x<xml input filename> -update\n"
    "see examples folder for all parameters usage in test.bat\r\n"
    "NOTE: first 2 parameters have to be -i -o or -i -f\r\n"
    "If your filename has spaces in it then use double quotes around the filename, e.g. "
    "\"c:\\my test\\test file.pdf\"\n"
    "\nWildcards * are not permitted, if you want to process many files then do: dir /B *.pdf > "
    "list.txt, then Folivant -ilist.txt -fc:\\test\n"
    "\r\n\r\n";

const char* const kWildcard =
    "\nError! Wildcards * are not permitted, if you want to process many files then do: dir /B "
    "*.pdf > list.txt, then Folivant -ilist.txt -fc:\\test\n\n";

TEST(CommandLineTest, UsageWildcardsAndArgumentGrammar) {
    fixture::RunResult usage = RunProgram({});
    EXPECT_EQ(usage.status, 0);
    EXPECT_EQ(usage.out, std::string(Banner()) + kUsage);

    fixture::RunResult wildcard = RunProgram({"-ia*.pdf", "-ex.xml"});
    EXPECT_EQ(wildcard.status, 1);
    EXPECT_EQ(wildcard.out, kWildcard);

    // A single argument is not searched for wildcards.
    struct Case {
        std::vector<std::string> arguments;
        const char* message;
    };
    const Case cases[] = {
        {{"-ia*.pdf"}, "Error parameter\n"},
        {{"-iin.pdf", "-xout.xml"}, "-e parameter missing\n"},
        {{"in.pdf", "-eout.xml"}, "-i parameter missing\n"},
        {{"-iin.pdf", "-xout.pdf", "-xm.xml"}, "-o parameter missing\n"},
        {{"-iin.pdf", "-oout.pdf", "-em.xml"}, "-x parameter missing\n"},
        {{"-iin.pdf", "-oout.pdf", "-xm.xml", "-Update"}, "-update parameter missing\n"},
        {{"-iin.pdf", "-oout.pdf", "-xm.xml", "-update", "x"}, "Error parameter\n"},
        {{"-ilist.TXT", "-fout"}, "-e parameter missing\n"},  // not a list: case matters
        {{"-ilist.txt"}, "please specify -f for output folder, e.g. -fc:\\test\n"},
        {{"-ilist.txt", "-oout"}, "please specify -f for output folder, e.g. -fc:\\test\n"},
    };
    for (const Case& c : cases) {
        fixture::RunResult result = RunProgram(c.arguments);
        EXPECT_EQ(result.status, 1) << c.message;
        EXPECT_EQ(result.out, std::string(Banner()) + c.message);
    }
}

TEST(CommandLineTest, JobFailuresPrintTheirMessageAndEndWithStatusOne) {
    TempDir dir;
    fixture::RunResult missing =
        RunProgram({"-i" + dir.file("none.pdf"), "-e" + dir.file("x.xml")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, std::string(Banner()) + "Input file: '" + dir.file("none.pdf") +
                               "'Input file open error\n");
    EXPECT_FALSE(fileExists(dir.file("x.xml")));

    fixture::RunResult list = RunProgram({"-i" + dir.file("list.txt"), "-f" + dir.file("out")});
    EXPECT_EQ(list.status, 1);
    EXPECT_EQ(list.out, std::string(Banner()) + "Unable to open file list: '" +
                            dir.file("list.txt") + "'\r\n");

    // Without an outline there is nothing to export and no file is made.
    fixture::simpleDocument(1).writeTo(dir.file("plain.pdf"));
    fixture::RunResult plain = RunProgram({"-i" + dir.file("plain.pdf"), "-e" + dir.file("p.xml")});
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.out,
              std::string(Banner()) + "Input file: '" + dir.file("plain.pdf") + "'\nDone.\n");
    EXPECT_FALSE(fileExists(dir.file("p.xml")));
}

TEST(CommandLineTest, ExecutableEndsWithTheStatus) {
    auto status = [](const std::string& arguments) {
        int raw =
            std::system((std::string(FOLIVANT_EXE) + " " + arguments + " >/dev/null").c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    EXPECT_EQ(status(""), 0);
    EXPECT_EQ(status("'-ia*.pdf' -ex.xml"), 1);
    EXPECT_EQ(status("-iin.pdf -xout.xml"), 1);
    EXPECT_EQ(status("-i/nonexistent/in.pdf -eout.xml"), 1);
}

}  // namespace
