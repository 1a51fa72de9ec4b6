// Encrypted files (tests/data/encrypted, made by make.sh there): every
// handler version opens with the empty user password, and the jobs give what
// they give on the same document unencrypted, writing it encrypted again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "base/crypto.h"
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
    "r6-round-64",   // the hash of its password ends on the last round it must run
    "r6-bound-met",  // the hash ends on a byte equal to its bound
};

// The revision line of qpdf's view of a file's encryption, or "" without qpdf.
std::string Revision(const std::string& path, const std::string& password = "") {
    if (std::system("qpdf --version >/dev/null 2>&1") != 0) return "";
    const fixture::TempDir dir;
    std::system(("qpdf --show-encryption '--password=" + password + "' '" + path + "' >'" +
                 dir.file("shown") + "' 2>&1")
                    .c_str());
    const std::string shown = fixture::ReadFile(dir.file("shown"));
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
    const std::string unknown = "\nEncryption dictionary is damaged or of an unknown kind\n";
    const std::string password = "\nPDF file is encrypted\n";
    const struct {
        const char* file;
        std::string from;
        std::string to;
        std::string expected;
        std::string from2 = "", to2 = "";  // a second change
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
        // AES-256 belongs to revision 6, even for the streams alone.
        {"r4-aes-128", "/CFM /AESV2", "/CFM /AESV3", unknown, "/StrF /StdCF", "/StrF null  "},
        {"r6-aes-256", "/R 6", "/R 4", unknown},
        {"r6-aes-256", "/UE <", "/UE (", unknown},
    };
    fixture::TempDir dir;
    for (const auto& c : cases) {
        std::string bytes = fixture::ReadFile((kFiles / (std::string(c.file) + ".pdf")).string());
        for (const auto& [from, to] : {std::pair(c.from, c.to), std::pair(c.from2, c.to2)}) {
            if (from.empty()) continue;
            const size_t at = bytes.find(from);
            ASSERT_NE(at, std::string::npos) << from;
            bytes.replace(at, from.size(), to);
        }
        fixture::WriteFile(dir.file("in.pdf"), bytes);
        const fixture::RunResult result =
            fixture::RunProgram({"-iin.pdf", "-eout.xml"}, dir.path());
        EXPECT_EQ(result.status, c.expected.find("Done") == std::string::npos ? 1 : 0)
            << c.file << " " << c.to;
        EXPECT_EQ(result.out, "Input file: 'in.pdf'" + c.expected) << c.file << " " << c.to;
    }
}

// The file key comes from the first string of /ID, so the new file carries
// /ID as the input has it, whatever its shape; the output opens as the input
// does, with nothing qpdf did not already say of the input.
TEST(EncryptionTest, IdentifiersOfAnyShapeAreCarried) {
    const std::string id = "[<00112233445566778899aabbccddeeff><31415926535897932384626433832795>]";
    const std::string first = "<00112233445566778899AABBCCDDEEFF>";
    const struct {
        const char* file;
        std::string shape;    // in the input, as long as id
        std::string written;  // in the output's trailer
    } cases[] = {
        {"r3-rc4-128", id, "/ID [" + first + " <31415926535897932384626433832795>]\n"},
        {"r3-rc4-128", "[<00112233445566778899aabbccddeeff>]", "/ID [" + first + "]\n"},
        {"r3-rc4-128", "[<00112233445566778899aabbccddeeff><3141><5926> /X]",
         "/ID [" + first + " <3141> <5926> /X]\n"},
        {"r4-aes-128-objstm", "[<00112233445566778899aabbccddeeff>]", "/ID [" + first + "]\n"},
    };
    fixture::TempDir dir;
    const std::string plain = RunJobs(dir, (kFiles / "r3-rc4-128.pdf").string()).addExported;
    for (const auto& c : cases) {
        std::string bytes = fixture::ReadFile((kFiles / (std::string(c.file) + ".pdf")).string());
        const std::string shape = c.shape + std::string(id.size() - c.shape.size(), ' ');
        const size_t at = bytes.find(id);
        ASSERT_NE(at, std::string::npos) << c.file;
        bytes.replace(at, id.size(), shape);
        fixture::WriteFile(dir.file("in.pdf"), bytes);
        ASSERT_EQ(fixture::RunProgram({"-iin.pdf", "-ex.xml"}, dir.path()).status, 0) << c.shape;
        ASSERT_EQ(fixture::RunProgram({"-iin.pdf", "-oadd.pdf", "-xx.xml"}, dir.path()).status, 0)
            << c.shape;
        EXPECT_NE(fixture::ReadFile(dir.file("add.pdf")).find(c.written), std::string::npos)
            << c.shape;
        EXPECT_LE(fixture::QpdfWarnings(dir.file("add.pdf")),
                  fixture::QpdfWarnings(dir.file("in.pdf")))
            << c.shape;
        fixture::RunProgram({"-iadd.pdf", "-eagain.xml"}, dir.path());
        EXPECT_EQ(fixture::ReadFile(dir.file("again.xml")), plain) << c.shape;
    }
}

// A file whose key was made from an empty identifier opens with the empty
// user password, but a new file could not carry that: it is refused rather
// than written for nobody to open.
TEST(EncryptionTest, NoUsableIdentifierIsRefused) {
    const std::string padding(
        "\x28\xBF\x4E\x5E\x4E\x75\x8A\x41\x64\x00\x4E\x56\xFF\xFA\x01\x08"
        "\x2E\x2E\x00\xB6\xD0\x68\x3E\x80\x2F\x0C\xA9\xFE\x64\x53\x69\x7A",
        32);
    const std::string owner(32, 'o');
    const std::string key = crypto::Md5(padding + owner + "\xFC\xFF\xFF\xFF").substr(0, 5);
    auto hex = [](const std::string& bytes) {
        std::string out = "<";
        char digits[3];
        for (unsigned char c : bytes) out += (std::snprintf(digits, 3, "%02X", c), digits);
        return out + ">";
    };
    const std::string encrypt = "4 0 obj << /Filter /Standard /V 1 /R 2 /O " + hex(owner) + " /U " +
                                hex(crypto::Rc4(key, padding)) + " /P -4 >> endobj\n";
    fixture::TempDir dir;
    fixture::WriteFile(dir.file("none.xml"), "<Bookmarks>\r\n</Bookmarks>\r\n");
    for (const std::string id : {"", " /ID [1 2]", " /ID 3 0 R"}) {
        fixture::WriteFile(dir.file("in.pdf"),
                           fixture::BuildPdf(fixture::Pages(1) + encrypt +
                                             "@xref table /Root 1 0 R /Encrypt 4 0 R" + id));
        const fixture::RunResult result =
            fixture::RunProgram({"-iin.pdf", "-oout.pdf", "-xnone.xml"}, dir.path());
        EXPECT_EQ(result.status, 1) << id;
        EXPECT_NE(result.out.find("Encrypted PDF file has no usable /ID in its trailer: a new file "
                                  "could not be decrypted\n"),
                  std::string::npos)
            << id << result.out;
        EXPECT_FALSE(fixture::FileExists(dir.file("out.pdf"))) << id;
    }
}

// -p gives a user or an owner password, in its revision's form: each file
// opens with either, its export is the plain file's, and the add's output
// opens with the same password. -p stands anywhere after -i.
TEST(EncryptionTest, PasswordsOfEveryRevisionOpenWithP) {
    const std::string wrong = "The password does not open the PDF file";
    const std::string needed = "PDF file is encrypted";
    const struct {
        const char* file;
        std::string password;
        std::string failure;  // empty: it opens
    } cases[] = {
        {"r2-passwords", "user2", ""},
        {"r2-passwords", "owner2", ""},
        {"r3-passwords", "owner3", ""},
        {"r3-passwords", "user", wrong},
        {"r3-passwords", "", needed},
        {"r4-passwords",
         "Gr\xC3\xBC\xC3\x9F"
         "e",
         ""},
        {"r4-passwords", "owner4", ""},
        {"r5-passwords", "p\xC3\xA4sswort", ""},
        {"r5-passwords", "\xC3\xB6wner", ""},
        {"r5-passwords", "pa\xCC\x88sswort", ""},  // a decomposed umlaut, composed by SASLprep
        {"r6-passwords", "\xEF\xAC\x81le", ""},    // the ligature fi, two letters after SASLprep
        {"r6-passwords",
         "\xC3\x96WNER\xC2\xA0"
         "6",
         ""},  // a no-break space is a space
        {"r6-passwords", "ÖWNER", wrong},
        {"r6-user-password", "secret", ""},
        {"r3-user-password", "secret", ""},
        {"r3-rc4-128", "anything", ""},  // the empty user password still opens it
    };
    fixture::TempDir dir;
    fixture::WriteFile(dir.file("plain.pdf"),
                       fixture::BuildPdf(fixture::ReadFile((kFiles / "source.txt").string())));
    const std::string plain = RunJobs(dir, dir.file("plain.pdf")).exported;
    for (const auto& c : cases) {
        const std::string in = (kFiles / (std::string(c.file) + ".pdf")).string();
        const std::string option = "-p" + c.password;
        const fixture::RunResult exported =
            fixture::RunProgram({"-i" + in, option, "-eout.xml"}, dir.path());
        if (!c.failure.empty()) {
            EXPECT_EQ(exported.status, 1) << c.file << " " << c.password;
            EXPECT_NE(exported.out.find("\n" + c.failure + "\n"), std::string::npos)
                << c.file << " " << c.password << exported.out;
            continue;
        }
        ASSERT_EQ(exported.status, 0) << c.file << " " << c.password << exported.out;
        EXPECT_EQ(fixture::ReadFile(dir.file("out.xml")), plain) << c.file << " " << c.password;
        ASSERT_EQ(fixture::RunProgram({"-i" + in, "-oadd.pdf", option, "-xout.xml", "-update"},
                                      dir.path())
                      .status,
                  0)
            << c.file << " " << c.password;
        EXPECT_EQ(Revision(dir.file("add.pdf"), c.password), Revision(in, c.password)) << c.file;
        EXPECT_EQ(fixture::RunProgram({"-iadd.pdf", "-eagain.xml", option}, dir.path()).status, 0);
        EXPECT_EQ(fixture::ReadFile(dir.file("again.xml")), plain) << c.file << " " << c.password;
    }
}

// Encrypted files are mended as plain ones are: damaged tables are rebuilt,
// the Encrypt dictionary found; one may stand in the trailer itself. A file
// whose trailer is lost has lost the identifier its key is made from: it is
// refused rather than read as ciphertext.
TEST(EncryptionTest, DamagedEncryptedFilesAreRebuilt) {
    const std::string original = fixture::ReadFile((kFiles / "r3-rc4-128.pdf").string());
    const size_t encrypt = original.find("12 0 obj\n") + 9;
    const std::string dictionary =
        original.substr(encrypt, original.find("\nendobj", encrypt) - encrypt);
    const size_t trailer = original.rfind("trailer");
    const std::string rebuilt = "Warning: damaged cross-reference rebuilt\n";
    const struct {
        const char* what;
        std::string bytes;
        std::string printed;  // after the line naming the files
    } cases[] = {
        {"three bytes after the header", std::string(original).insert(9, "   "), rebuilt},
        {"a startxref that points nowhere",
         original.substr(0, original.rfind("startxref") + 10) + "99999\n%%EOF\n", rebuilt},
        {"startxref and %%EOF cut off", original.substr(0, original.rfind("startxref")), rebuilt},
        {"the Encrypt dictionary in the trailer",
         std::string(original).replace(original.find("/Encrypt 12 0 R", trailer), 15,
                                       "/Encrypt " + dictionary),
         ""},
        {"no Encrypt in the trailer of a damaged table: the dictionary is found by a scan",
         std::string(original)
             .replace(original.find("/Encrypt 12 0 R", trailer), 8, "/Xncrypt")
             .substr(0, original.rfind("startxref")),
         rebuilt},
        {"the table and trailer lost", original.substr(0, original.find("xref\n0 13")),
         "Encrypted PDF file has lost its /ID: it cannot be decrypted\n"},
    };
    fixture::TempDir dir;
    fixture::WriteFile(dir.file("plain.pdf"),
                       fixture::BuildPdf(fixture::ReadFile((kFiles / "source.txt").string())));
    const Outcome plain = RunJobs(dir, dir.file("plain.pdf"));
    for (const auto& c : cases) {
        fixture::WriteFile(dir.file("in.pdf"), c.bytes);
        const fixture::RunResult result =
            fixture::RunProgram({"-iin.pdf", "-eout.xml"}, dir.path());
        EXPECT_EQ(result.out.substr(result.out.find('\n') + 1),
                  c.printed +
                      (c.printed.rfind("Warning", 0) == 0 || c.printed.empty() ? "\nDone.\n" : ""))
            << c.what;
        if (result.status != 0) continue;
        EXPECT_EQ(fixture::ReadFile(dir.file("out.xml")), plain.exported) << c.what;
        ASSERT_EQ(fixture::RunProgram({"-iin.pdf", "-oadd.pdf", "-xout.xml"}, dir.path()).status, 0)
            << c.what;
        EXPECT_EQ(fixture::QpdfWarnings(dir.file("add.pdf")), 0) << c.what;
        fixture::RunProgram({"-iadd.pdf", "-eagain.xml"}, dir.path());
        EXPECT_EQ(fixture::ReadFile(dir.file("again.xml")), plain.addExported) << c.what;
    }
}

}  // namespace
