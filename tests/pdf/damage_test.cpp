// Damaged cross-reference data: each kind of damage, on a file with a classic
// table and on one with object streams, is rebuilt by scanning, and the jobs
// give what they give on the sound file.
#include <gtest/gtest.h>

#include <functional>
#include <regex>

#include "support/fixture.h"
#include "support/harness.h"

namespace {

// Pages, an outline of three items (one nested, one going to a named
// destination), and document information; `update` adds an incremental
// update that renames the first item.
std::string Document(bool objectStreams, bool update) {
    const std::string open = objectStreams ? "@objstm 30\n" : "";
    const std::string close = objectStreams ? "@end\n" : "";
    std::string text =
        open + fixture::Pages(2, "/Outlines 10 0 R /Names << /Dests 20 0 R >>") +
        "10 0 obj << /Type /Outlines /First 11 0 R /Last 13 0 R /Count 2 >> endobj\n"
        "11 0 obj << /Title (First) /Parent 10 0 R /Next 13 0 R /First 12 0 R /Last 12 0 R "
        "/Count 1 /Dest [3 0 R /XYZ 0 792 0] >> endobj\n"
        "12 0 obj << /Title (Nested) /Parent 11 0 R /Dest (there) /C [1 0 0] >> endobj\n"
        "13 0 obj << /Title (Last) /Parent 10 0 R /Prev 11 0 R /Dest [4 0 R /Fit] /F 2 >> endobj\n"
        "20 0 obj << /Names [(there) [4 0 R /FitH 500]] >> endobj\n"
        "21 0 obj << /Producer (damage test) >> endobj\n" +
        close +
        "22 0 obj\n<< /Length ? >>\nstream\nBT (1 0 obj trailer) Tj ET\nendstream\nendobj\n";
    const std::string section = objectStreams ? "@xref stream" : "@xref table";
    text += section + " /Root 1 0 R /Info 21 0 R\n";
    if (update) {
        text +=
            "11 0 obj << /Title (First, renamed) /Parent 10 0 R /Next 13 0 R /First 12 0 R "
            "/Last 12 0 R /Count 1 /Dest [3 0 R /XYZ 0 792 0] >> endobj\n" +
            section + " /Root 1 0 R /Info 21 0 R\n";
    }
    return fixture::BuildPdf(text);
}

using Damage = std::function<std::string(std::string)>;

// The bytes between the last "startxref" keyword before `end` and the end of
// that section's table or stream, as blanks.
std::string BlankNewestSection(std::string bytes) {
    const size_t startxref = bytes.rfind("startxref\n");
    const size_t offset = std::stoul(bytes.substr(startxref + 10));
    for (size_t at = offset; at < startxref; ++at) {
        if (bytes[at] != '\n') bytes[at] = ' ';
    }
    return bytes;
}

const std::pair<const char*, Damage> kDamage[] = {
    {"bytes inserted after the header",
     [](std::string bytes) {
         return bytes.insert(bytes.find('\n') + 1, "% 24 bytes of junk ...\n");
     }},
    {"startxref into the middle",
     [](std::string bytes) {
         const size_t at = bytes.rfind("startxref\n") + 10;
         return bytes.replace(at, bytes.find('\n', at) - at, std::to_string(bytes.size() / 2));
     }},
    {"the newest table or stream blanked", BlankNewestSection},
    // (An updated file cut so reads as the revision before, without damage.)
    {"cut off right after the last endobj",
     [](std::string bytes) {
         const bool updated = bytes.find("startxref") != bytes.rfind("startxref");
         return updated ? bytes : bytes.substr(0, bytes.rfind("endobj") + 6);
     }},
    {"every offset 3 bytes too far",
     [](std::string bytes) {
         std::string out;
         const std::regex entry(R"((\d{10}) (\d{5}) n)");
         auto last = bytes.cbegin();
         for (std::sregex_iterator it(bytes.begin(), bytes.end(), entry), end; it != end; ++it) {
             out.append(last, (*it)[0].first);
             char shifted[11];
             std::snprintf(shifted, sizeof shifted, "%010lu", std::stoul((*it)[1]) + 3);
             out += std::string(shifted) + " " + (*it)[2].str() + " n";
             last = (*it)[0].second;
         }
         return out.append(last, bytes.cend());
     }},
};

struct Outcome {
    std::string printed;
    std::string exported;
    std::string addExported;  // the export of the add of the export
};

Outcome RunJobs(const std::string& pdf) {
    fixture::TempDir dir;
    fixture::WriteFile(dir.file("in.pdf"), pdf);
    Outcome outcome;
    outcome.printed = fixture::RunProgram({"-iin.pdf", "-eout.xml"}, dir.path()).out;
    if (!fixture::FileExists(dir.file("out.xml"))) return outcome;
    outcome.exported = fixture::ReadFile(dir.file("out.xml"));
    fixture::RunProgram({"-iin.pdf", "-oadd.pdf", "-xout.xml"}, dir.path());
    EXPECT_GE(fixture::QpdfWarnings(dir.file("add.pdf")), 0);
    fixture::RunProgram({"-iadd.pdf", "-eagain.xml"}, dir.path());
    if (fixture::FileExists(dir.file("again.xml"))) {
        outcome.addExported = fixture::ReadFile(dir.file("again.xml"));
    }
    return outcome;
}

TEST(DamageTest, EveryKindOfDamageIsRebuiltToWhatTheSoundFileGives) {
    for (const bool objectStreams : {false, true}) {
        for (const bool update : {false, true}) {
            const std::string sound = Document(objectStreams, update);
            const Outcome expected = RunJobs(sound);
            ASSERT_FALSE(expected.exported.empty());
            EXPECT_EQ(expected.printed.find("Warning"), std::string::npos);
            for (const auto& [what, damage] : kDamage) {
                const std::string form = std::string(objectStreams ? "streams" : "table") +
                                         (update ? ", updated: " : ": ") + what;
                const std::string damaged = damage(sound);
                if (damaged == sound) continue;  // no table lines to shift in a stream
                const Outcome got = RunJobs(damaged);
                EXPECT_NE(got.printed.find("Warning: damaged cross-reference rebuilt\n"),
                          std::string::npos)
                    << form << "\n"
                    << got.printed;
                EXPECT_EQ(got.exported, expected.exported) << form;
                EXPECT_EQ(got.addExported, expected.addExported) << form;
            }
        }
    }
}

// What a scan cannot mend keeps the message of the damage: a file whose
// objects are gone, and a table whose entries point nowhere while no object
// of theirs is found either.
TEST(DamageTest, FilesThatCannotBeRebuiltKeepTheirMessages) {
    fixture::TempDir dir;
    const std::pair<std::string, std::string> cases[] = {
        {"%PDF-1.4\n%%EOF\n", "PDF file was damaged"},
        {"%PDF-1.4\n1 0 obj (no catalog) endobj\nstartxref\n999\n%%EOF\n",
         "Couldn't parse an xref"},
        {BlankNewestSection(fixture::BuildPdf("1 0 obj << /Type /Outlines >> endobj\n")),
         "Couldn't parse an xref"},
    };
    for (const auto& [bytes, message] : cases) {
        fixture::WriteFile(dir.file("in.pdf"), bytes);
        const fixture::RunResult result =
            fixture::RunProgram({"-iin.pdf", "-eout.xml"}, dir.path());
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "Input file: 'in.pdf'\n" + message + "\n") << bytes;
    }
}

}  // namespace
