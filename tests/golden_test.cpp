// Runs export, add and update on every case under tests/data/jobs and
// compares what they write and print with the files kept beside the case:
//   input.txt            the input PDF, as fixture text (support/fixture.h)
//   add*.xml, update*.xml   bookmark files, one run of that job each; without
//                        any, the add takes the export back and the update
//                        gets a file with no records
//   results.txt          what each run printed and its exit status, one line
//                        per run, whether the outputs export back to the same
//                        file, and a digest of each file written
//   export.xml, *.pdf    where present, that output expected in full (it has
//                        no digest line then)
// FOLIVANT_UPDATE_GOLDEN=1 rewrites the expected files.
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

std::vector<std::string> CaseNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kCases)) {
        names.push_back(entry.path().filename().string());
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
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
    return text;
}

class GoldenTest : public testing::TestWithParam<std::string> {
protected:
    fs::path expected(const std::string& name) const { return kCases / GetParam() / name; }
    std::string produced(const std::string& name) const { return dir_.file(name); }

    // Runs the program and logs what it printed; true when it succeeded.
    bool run(const std::string& title, const std::vector<std::string>& arguments) {
        fixture::RunResult result = fixture::RunProgram(arguments);
        std::string out = ReplaceAll(ReplaceAll(result.out, dir_.path(), "DIR"), "\n\n", "\n");
        if (!out.empty() && out.back() == '\n') out.pop_back();
        log_ += "$ " + title + " [" + std::to_string(result.status) + "] " +
                ReplaceAll(out, "\n", " / ") + "\n";
        return result.status == 0;
    }

    // The case's bookmark files for a job, copied next to the outputs.
    std::vector<std::string> CaseFiles(const std::string& job) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(kCases / GetParam())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(job, 0) == 0 && name.size() > 4 &&
                name.compare(name.size() - 4, 4, ".xml") == 0) {
                names.push_back(name);
                fixture::WriteFile(produced(name), ReadFile(entry.path().string()));
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // Exports a written PDF again and notes whether the first export comes back.
    void expectSameExport(const std::string& pdf) {
        if (!FileExists(produced(pdf)) || !FileExists(produced("export.xml"))) return;
        const bool same =
            fixture::RunProgram({"-i" + produced(pdf), "-e" + produced(pdf + ".xml")}).status == 0 &&
            ReadFile(produced(pdf + ".xml")) == ReadFile(produced("export.xml"));
        log_ += pdf + (same ? " exports the same\n" : " exports differently\n");
    }

    void compare(const std::string& name, const std::string& actual, bool exists) {
        const std::string path = expected(name).string();
        if (std::getenv("FOLIVANT_UPDATE_GOLDEN") != nullptr) {
            if (exists) fixture::WriteFile(path, actual);
            if (!exists) fs::remove(path);
            return;
        }
        ASSERT_EQ(exists, FileExists(path)) << name << (exists ? " was written" : " is missing");
        if (exists) {
            EXPECT_EQ(actual, ReadFile(path)) << name << " differs";
        }
    }

    // A result is compared whole where the case keeps it, else by its digest.
    void compareResult(const std::string& name) {
        if (!FileExists(produced(name))) return;
        const std::string bytes = ReadFile(produced(name));
        if (name.find(".pdf") != std::string::npos) {
            EXPECT_EQ(fixture::QpdfCheck(produced(name)), std::nullopt) << name;
        }
        if (FileExists(expected(name).string())) {
            compare(name, bytes, true);
        } else {
            log_ += name + " digest " + Digest(bytes) + "\n";
        }
    }

    fixture::TempDir dir_;
    std::string log_;
};

TEST_P(GoldenTest, JobsWriteAndPrintWhatTheCaseExpects) {
    fixture::WriteFile(produced("in.pdf"),
                       fixture::BuildPdf(ReadFile(expected("input.txt").string())));
    const std::string in = "-i" + produced("in.pdf");
    run("export", {in, "-e" + produced("export.xml")});

    // Each add*.xml and update*.xml of the case gives one run and one output
    // named after it; without any, the add takes the export back and the
    // update gets a file without records.
    std::vector<std::string> outputs;
    for (const char* job : {"add", "update"}) {
        std::vector<std::string> files = CaseFiles(job);
        const bool own = !files.empty();
        if (!own && std::string(job) == "add" && FileExists(produced("export.xml"))) {
            files.push_back("export.xml");
        }
        if (!own && std::string(job) == "update") {
            fixture::WriteFile(produced("none.xml"), "<Bookmarks>\r\n</Bookmarks>\r\n");
            files.push_back("none.xml");
        }
        for (const std::string& xml : files) {
            const std::string pdf = (own ? xml.substr(0, xml.size() - 4) : job) + ".pdf";
            std::vector<std::string> arguments{in, "-o" + produced(pdf), "-x" + produced(xml)};
            if (std::string(job) == "update") arguments.push_back("-update");
            run(own ? xml : job, arguments);
            if (!own) expectSameExport(pdf);
            outputs.push_back(pdf);
        }
    }
    compareResult("export.xml");
    for (const std::string& name : outputs) compareResult(name);
    compare("results.txt", log_, true);
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenTest, testing::ValuesIn(CaseNames()),
                         [](const testing::TestParamInfo<std::string>& param) {
                             std::string name = param.param;
                             for (char& c : name) c = std::isalnum(c) ? c : '_';
                             return name;
                         });

}  // namespace
