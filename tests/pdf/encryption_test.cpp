// Encrypted files (tests/data/encrypted, made by make.sh there): every
// handler version opens with the empty user password, and the jobs give what
// they give on the same document unencrypted, writing it encrypted again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/fixture.h"
#include "support/harness.h"

namespace {

namespace fs = std::filesystem;

const fs::path kFiles = fs::path(FOLIVANT_TEST_DATA) / "encrypted";

const char* const kReadable[] = {
    "r2-rc4-40",
    "r3-rc4-128",
    "r4-aes-128",
    "r4-aes-128-objstm",
    "r4-rc4-128-clear-metadata",
    "r5-aes-256",
    "r6-aes-256",
    "r6-aes-256-objstm",
};

// The revision line of qpdf's view of a file's encryption, or "" without qpdf.
std::string Revision(const std::string& path) {
    if (std::system("qpdf --version >/dev/null 2>&1") != 0) return "";
    std::system(("qpdf --show-encryption '" + path + "' >'" + path + ".enc' 2>&1").c_str());
    const std::string shown = fixture::ReadFile(path + ".enc");
    const size_t at = shown.find("R = ");
    return at == std::string::npos ? shown : shown.substr(at, shown.find('\n', at) - at);
}

struct Outcome {
    std::string exported;
    std::string addExported;     // the export of the add of the export
    std::string updateExported;  // the export of an update that changes nothing
};

Outcome RunJobs(const fixture::TempDir& dir, const std::string& pdf) {
    Outcome outcome;
    fixture::WriteFile(dir.file("none.xml"), "<Bookmarks>\r\n</Bookmarks>\r\n");
    EXPECT_EQ(fixture::RunProgram({"-i" + pdf, "-eout.xml"}, dir.path()).status, 0) << pdf;
    outcome.exported = fixture::ReadFile(dir.file("out.xml"));
    for (const std::string job : {"add", "update"}) {
        std::vector<std::string> arguments{"-i" + pdf, "-o" + job + ".pdf",
                                           job == "add" ? "-xout.xml" : "-xnone.xml"};
        if (job == "update") arguments.push_back("-update");
        EXPECT_EQ(fixture::RunProgram(arguments, dir.path()).status, 0) << pdf << " " << job;
        EXPECT_EQ(fixture::QpdfWarnings(dir.file(job + ".pdf")), 0) << pdf << " " << job;
        EXPECT_EQ(Revision(dir.file(job + ".pdf")), Revision(pdf)) << pdf << " " << job;
        fixture::RunProgram({"-i" + job + ".pdf", "-eagain.xml"}, dir.path());
        (job == "add" ? outcome.addExported : outcome.updateExported) =
            fixture::ReadFile(dir.file("again.xml"));
    }
    return outcome;
}

TEST(EncryptionTest, EveryHandlerReadsAndWritesWhatThePlainFileGives) {
    fixture::TempDir dir;
    fixture::WriteFile(dir.file("plain.pdf"),
                       fixture::BuildPdf(fixture::ReadFile((kFiles / "source.txt").string())));
    const Outcome plain = RunJobs(dir, dir.file("plain.pdf"));
    ASSERT_NE(plain.exported.find("<Name>Gr k\xFCr</Name>"), std::string::npos);
    for (const char* name : kReadable) {
        const Outcome got = RunJobs(dir, (kFiles / (std::string(name) + ".pdf")).string());
        EXPECT_EQ(got.exported, plain.exported) << name;
        EXPECT_EQ(got.addExported, plain.addExported) << name;
        EXPECT_EQ(got.updateExported, plain.updateExported) << name;
    }
}

// A user password, and Encrypt dictionaries that are damaged or of another
// kind (changed in place, so that every offset stays right).
TEST(EncryptionTest, PasswordsAndUnknownDictionariesAreRefused) {
    const std::string unknown = "Encryption dictionary is damaged or of an unknown kind";
    const std::string password = "PDF file is encrypted";
    const struct {
        const char* file;
        std::string from;
        std::string to;
        std::string expected;
    } cases[] = {
        {"r3-user-password", "", "", password},
        {"r6-user-password", "", "", password},
        {"r3-rc4-128", "/P -4", "/P -8", password},
        {"r3-rc4-128", "/Filter /Standard", "/Filter /Standarx", unknown},
        {"r3-rc4-128", "/V 2", "/V 7", unknown},
        {"r3-rc4-128", "/R 3", "/R 8", unknown},
        {"r3-rc4-128", "/Length 128", "/Length 127", unknown},
        // Without a Length, the 128-bit key the file uses is found.
        {"r3-rc4-128", "/Length 128", "/Wength 128", ", XML output file: 'out.xml'\n\nDone.\n"},
        {"r3-rc4-128", "87c4>", "    >", unknown},  // U two bytes short
        {"r4-aes-128", "/CFM /AESV2", "/CFM /AESV9", unknown},
        {"r4-aes-128", "/StmF /StdCF", "/StmF /StdCX", unknown},
        {"r6-aes-256", "/R 6", "/R 4", unknown},
        {"r6-aes-256", "/UE <", "/UE (", unknown},
    };
    fixture::TempDir dir;
    for (const auto& c : cases) {
        std::string bytes = fixture::ReadFile((kFiles / (std::string(c.file) + ".pdf")).string());
        if (!c.from.empty()) {
            const size_t at = bytes.find(c.from);
            ASSERT_NE(at, std::string::npos) << c.from;
            bytes.replace(at, c.from.size(), c.to);
        }
        fixture::WriteFile(dir.file("in.pdf"), bytes);
        const fixture::RunResult result =
            fixture::RunProgram({"-iin.pdf", "-eout.xml"}, dir.path());
        EXPECT_EQ(result.status, c.expected.find("Done") == std::string::npos ? 1 : 0)
            << c.file << " " << c.to;
        EXPECT_EQ(result.out, "Input file: 'in.pdf'" + c.expected) << c.file << " " << c.to;
    }
}

}  // namespace
