// Runs export, add and update on every case under tests/data/jobs and
// compares what they write and print with the files kept beside the case:
//   input.txt            the input PDF, as fixture text (support/fixture.h)
//   add*.xml, update*.xml   bookmark files, one run of that job each; without
//                        any, the add takes the export back and the update
//                        gets a file with no records
//   results.txt          one line per run (exit status and what it printed),
//                        whether a taken-back export comes back the same, and
//                        a digest of each file written
//   export.xml, *.pdf    where present, that output expected in full instead
// FOLIVANT_UPDATE_GOLDEN=1 rewrites the expected files; a failing case keeps
// its outputs under golden-failures/ in the working folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "support/fixture.h"
#include "support/harness.h"

namespace {

namespace fs = std::filesystem;
using fixture::FileExists;
using fixture::ReadFile;

const fs::path kCases = fs::path(FOLIVANT_TEST_DATA) / "jobs";

// The sorted names in a folder that start with the prefix and end with the suffix.
std::vector<std::string> Names(const fs::path& folder, const std::string& prefix,
                               const std::string& suffix) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0 && name.size() >= suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// FNV-1a, 64 bits: enough to tell any two outputs of a case apart.
std::string Digest(const std::string& bytes) {
    uint64_t hash = 14695981039346656037ULL;
    for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ULL;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + 1)) {
        text.replace(at, from.size(), to);
    }
    return text;
}

class GoldenTest : public testing::TestWithParam<std::string> {
protected:
    std::string expected(const std::string& name) const {
        return (kCases / GetParam() / name).string();
    }
    std::string produced(const std::string& name) const { return dir_.file(name); }

    void run(const std::string& title, const std::vector<std::string>& arguments) {
        fixture::RunResult result = fixture::RunProgram(arguments);
        std::string out = ReplaceAll(ReplaceAll(result.out, dir_.path(), "DIR"), "\n\n", "\n");
        if (!out.empty() && out.back() == '\n') out.pop_back();
        log_ += "$ " + title + " [" + std::to_string(result.status) + "] " +
                ReplaceAll(out, "\n", " / ") + "\n";
    }

    // Exports a written PDF again and notes whether the first export comes back.
    void exportAgain(const std::string& pdf) {
        if (!FileExists(produced(pdf)) || !FileExists(produced("export.xml"))) return;
        const bool same =
            fixture::RunProgram({"-i" + produced(pdf), "-e" + produced(pdf + ".xml")}).status ==
                0 &&
            ReadFile(produced(pdf + ".xml")) == ReadFile(produced("export.xml"));
        log_ += pdf + (same ? " exports the same\n" : " exports differently\n");
    }

    void compare(const std::string& name, const std::string& actual) {
        if (std::getenv("FOLIVANT_UPDATE_GOLDEN") != nullptr)
            return fixture::WriteFile(expected(name), actual);
        ASSERT_TRUE(FileExists(expected(name))) << name << " is missing";
        EXPECT_EQ(actual, ReadFile(expected(name))) << name << " differs";
    }

    // A result is compared whole where the case keeps it, else by its digest.
    void compareResult(const std::string& name) {
        if (!FileExists(produced(name))) return;
        if (name.find(".pdf") != std::string::npos) {
            EXPECT_EQ(fixture::QpdfCheck(produced(name)), std::nullopt) << name;
        }
        const std::string bytes = ReadFile(produced(name));
        if (FileExists(expected(name))) return compare(name, bytes);
        log_ += name + " digest " + Digest(bytes) + "\n";
    }

    fixture::TempDir dir_;
    std::string log_;
};

TEST_P(GoldenTest, JobsWriteAndPrintWhatTheCaseExpects) {
    fixture::WriteFile(produced("in.pdf"), fixture::BuildPdf(ReadFile(expected("input.txt"))));
    fixture::WriteFile(produced("none.xml"), "<Bookmarks>\r\n</Bookmarks>\r\n");
    const std::string in = "-i" + produced("in.pdf");
    run("export", {in, "-e" + produced("export.xml")});
    std::vector<std::string> outputs{"export.xml"};
    for (const std::string job : {"add", "update"}) {
        std::vector<std::string> files = Names(kCases / GetParam(), job, ".xml");
        for (const std::string& name : files)
            fixture::WriteFile(produced(name), ReadFile(expected(name)));
        const bool own = !files.empty();
        if (!own) files.push_back(job == "add" ? "export.xml" : "none.xml");
        for (const std::string& xml : files) {
            const std::string pdf = (own ? xml.substr(0, xml.size() - 4) : job) + ".pdf";
            std::vector<std::string> arguments{in, "-o" + produced(pdf), "-x" + produced(xml)};
            if (job == "update") arguments.push_back("-update");
            run(own ? xml : job, arguments);
            if (!own) exportAgain(pdf);
            outputs.push_back(pdf);
        }
    }
    for (const std::string& name : outputs) compareResult(name);
    compare("results.txt", log_);
    // A digest says only that an output changed: keep the outputs to look at.
    if (HasFailure()) {
        fs::copy(dir_.path(), fs::path("golden-failures") / GetParam(),
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        ADD_FAILURE() << "outputs kept in " << fs::absolute("golden-failures") / GetParam();
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenTest, testing::ValuesIn(Names(kCases, "", "")),
                         [](const testing::TestParamInfo<std::string>& param) {
                             std::string name = param.param;
                             for (char& c : name) c = std::isalnum(c) ? c : '_';
                             return name;
                         });

}  // namespace
