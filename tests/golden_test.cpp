// Runs export, add and update on every case under tests/data/jobs and
// compares what they write and print with the files kept beside the case:
//   input.txt            the input PDF, as fixture text (support/fixture.h)
//   add*.xml, update*.xml   bookmark files, a run of that job each; else the
//                        add takes the export back, the update no records
//   results.txt          a line per run: status, what it printed, what it
//                        wrote, and for a taken-back export whether its result
//                        exports the same again
//   *.xml                each bookmark file the runs write, in full
//   *.pdf.txt            each PDF the runs write, as text: its digest, the
//                        objects it writes anew or changes, its table and trailer
// FOLIVANT_UPDATE_GOLDEN=1 rewrites the expected files; a failing case keeps
// its outputs under golden-failures/ in the build folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>

#include "support/fixture.h"
#include "support/harness.h"

namespace {

namespace fs = std::filesystem;
using fixture::FileExists;
using fixture::ReadFile;

const fs::path kCases = fs::path(FOLIVANT_TEST_DATA) / "jobs";

std::vector<std::string> Names(const fs::path& folder, const std::string& pattern) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (std::regex_match(name, std::regex(pattern))) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class GoldenTest : public testing::TestWithParam<std::string> {
protected:
    std::string expected(const std::string& name) const {
        return (kCases / GetParam() / name).string();
    }
    std::string produced(const std::string& name) const { return dir_.file(name); }

    // One run and its line in the results. qpdf must read a written PDF
    // without rebuilding it, and warn about no more than in a sound input.
    void run(const std::string& title, std::vector<std::string> arguments,
             const std::string& output, bool again = false) {
        const fixture::RunResult result = fixture::RunProgram(arguments);
        std::string line = "$ " + title + " [" + std::to_string(result.status) + "]";
        std::istringstream printed(result.out);
        for (std::string text; std::getline(printed, text);) {
            for (size_t at = text.find(dir_.path()); at != std::string::npos;
                 at = text.find(dir_.path())) {
                text.replace(at, dir_.path().size(), "DIR");
            }
            if (!text.empty()) line += " " + text;
        }
        if (FileExists(produced(output))) line += " -> " + written(output);
        if (again && FileExists(produced(output))) {
            const bool same =
                fixture::RunProgram({"-i" + produced(output), "-e" + produced("again.xml")})
                        .status == 0 &&
                ReadFile(produced("again.xml")) == ReadFile(produced("export.xml"));
            line += same ? ", exports the same" : ", exports differently";
        }
        log_ += line + "\n";
    }

    // The output's name; what it holds is kept beside the case, a PDF as text.
    std::string written(const std::string& name) {
        if (name.find(".pdf") == std::string::npos) {
            compare(name, ReadFile(produced(name)));
            return name;
        }
        const int warnings = fixture::QpdfWarnings(produced(name));
        const int before = fixture::QpdfWarnings(produced("in.pdf"));
        EXPECT_TRUE(warnings >= 0 && (warnings <= before || before < 0))
            << name << ": " << warnings << " warnings";
        compare(name + ".txt", fixture::PdfAsText(produced(name), produced("in.pdf")));
        return name;
    }

    void compare(const std::string& name, const std::string& actual) {
        if (std::getenv("FOLIVANT_UPDATE_GOLDEN") != nullptr) {
            return fixture::WriteFile(expected(name), actual);
        }
        ASSERT_TRUE(FileExists(expected(name)))
            << name << " is missing: FOLIVANT_UPDATE_GOLDEN=1 writes it";
        EXPECT_EQ(actual, ReadFile(expected(name))) << name << " differs";
    }

    fixture::TempDir dir_;
    std::string log_;
};

TEST_P(GoldenTest, JobsWriteAndPrintWhatTheCaseExpects) {
    fixture::WritePdf(produced("in.pdf"), ReadFile(expected("input.txt")));
    fixture::WriteFile(produced("none.xml"), "<Bookmarks>\r\n</Bookmarks>\r\n");
    const std::string in = "-i" + produced("in.pdf");
    run("export", {in, "-e" + produced("export.xml")}, "export.xml");
    for (const std::string job : {"add", "update"}) {
        std::vector<std::string> files = Names(kCases / GetParam(), job + ".*\\.xml");
        for (const std::string& name : files) {
            fixture::WriteFile(produced(name), ReadFile(expected(name)));
        }
        const bool own = !files.empty();
        if (!own) files.push_back(job == "add" ? "export.xml" : "none.xml");
        for (const std::string& xml : files) {
            const std::string pdf = (own ? xml.substr(0, xml.size() - 4) : job) + ".pdf";
            std::vector<std::string> arguments{in, "-o" + produced(pdf), "-x" + produced(xml)};
            if (job == "update") arguments.push_back("-update");
            run(own ? xml : job, arguments, pdf, !own);
        }
    }
    compare("results.txt", log_);
    // Keep the outputs to look at.
    if (HasFailure()) {
        const fs::path kept = fs::path(FOLIVANT_FAILURE_DUMPS) / GetParam();
        fs::create_directories(kept);
        for (const auto& entry : fs::directory_iterator(dir_.path())) {
            // An input with a gap of gigabytes would be copied in full.
            if (entry.file_size() > (64u << 20)) continue;
            fs::copy(entry.path(), kept / entry.path().filename(),
                     fs::copy_options::overwrite_existing);
        }
        ADD_FAILURE() << "outputs kept in " << kept;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenTest, testing::ValuesIn(Names(kCases, ".*")),
                         [](const testing::TestParamInfo<std::string>& param) {
                             std::string name = param.param;
                             for (char& c : name) c = std::isalnum(c) ? c : '_';
                             return name;
                         });

}  // namespace
