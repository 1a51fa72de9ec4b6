// Cross-reference sections of every form, object streams, updates and damage.
#include "pdf/xref.h"

#include <gtest/gtest.h>

#include <sstream>

#include "base/error.h"
#include "support/fixture.h"
#include "support/harness.h"

namespace {

using fixture::Describe;

// Opens the bytes and shows each object named in `show` ("4/3": object 4,
// generation 3), then the trailer's Root and Info, and whether the table was
// rebuilt; or the message of the failure.
std::string Open(const std::string& bytes, const std::string& show, bool repair = true) {
    try {
        pdf::XRef xref(fixture::Source(bytes), 0);
        xref.init(repair);
        std::string out;
        std::istringstream names(show);
        for (std::string name; names >> name;) {
            int number = 0, generation = 0;
            std::sscanf(name.c_str(), "%d/%d", &number, &generation);
            out += name + "=" + Describe(xref.fetch({number, generation})) + " ";
        }
        return out + "root " + std::to_string(xref.root().number) + " info " +
               std::to_string(xref.info().number) + "/" + std::to_string(xref.info().generation) +
               (xref.wasRebuilt() ? " rebuilt" : "");
    } catch (const Error& failure) {
        return failure.message();
    }
}

const std::string kObjects =
    "1 0 obj\n<< /Type /Catalog >>\nendobj\n2 0 obj\n(two)\nendobj\n4 3 obj\n44\nendobj\n";

TEST(XRefTest, EveryTableFormFindsTheSameObjects) {
    const std::string shown = "1=<</Type /Catalog>> 2=(two) 4/3=44 4=null 3=null root 1 info ";
    const std::pair<std::string, std::string> cases[] = {
        {"@xref table /Root 1 0 R /Info 2 0 R", shown + "2/0"},
        {"@xref stream /Root 1 0 R", shown + "0/0"},
        {"@xref stream w=1,2,1 index /Root 1 0 R", shown + "0/0"},
        {"@xref stream w=2,3,2 index raw /Root 1 0 R", shown + "0/0"},
        // A type width of 0 makes every listed entry an object in use.
        {"@xref stream w=0,2,1 index /Root 1 0 R", shown + "0/0"},
    };
    for (const auto& [xref, expected] : cases) {
        EXPECT_EQ(Open(fixture::BuildPdf(kObjects + xref), "1 2 4/3 4 3"), expected) << xref;
    }
}

TEST(XRefTest, ObjectStreamsUpdatesAndTheirChains) {
    const std::string streams =
        "1 0 obj\n<< >>\nendobj\n@objstm 10\n2 0 obj\n(in stream)\nendobj\n3 0 obj\n<< /K [1 2] "
        ">>\nendobj\n@end\n@objstm 11\n4 0 obj\n77\nendobj\n@end\n@xref stream /Root 1 0 R\n";
    EXPECT_EQ(Open(fixture::BuildPdf(streams), "2 4 3 3/1"),
              "2=(in stream) 4=77 3=<</K [1 2]>> 3/1=<</K [1 2]>> root 1 info 0/0");

    const std::string first =
        "1 0 obj\n<< >>\nendobj\n5 0 obj\n(old)\nendobj\n6 0 obj\n(kept)\n"
        "endobj\n7 0 obj\n(seven)\nendobj\n";
    const std::string update = "5 0 obj\n(new)\nendobj\n@free 7\n";
    for (const std::string form : {"table", "stream"}) {
        for (const std::string prev : {"", "prevref "}) {
            const std::string text = first + "@xref " + form + " /Root 1 0 R\n" + update +
                                     "@xref " + form + " " + prev + "/Root 1 0 R\n";
            EXPECT_EQ(Open(fixture::BuildPdf(text), "5 6 7"),
                      "5=(new) 6=(kept) 7=null root 1 info 0/0")
                << form << prev;
        }
    }
    // A hybrid file lists some objects only in its hidden stream.
    const std::string hybrid =
        "1 0 obj\n<< >>\nendobj\n5 0 obj\n(in the table)\nendobj\n@objstm 7\n6 0 obj\n(hidden)\n"
        "endobj\n@end\n@xref hybrid /Root 1 0 R\n";
    EXPECT_EQ(Open(fixture::BuildPdf(hybrid), "5 6"),
              "5=(in the table) 6=(hidden) root 1 info 0/0");
}

TEST(XRefTest, DamagedSectionsGiveTheirMessages) {
    const std::string table = fixture::BuildPdf(fixture::Pages(1));
    const std::string stream = fixture::BuildPdf(fixture::Pages(1) + "@xref stream /Root 1 0 R");
    const std::string raw = fixture::BuildPdf(kObjects + "@xref stream w=1,1,1 raw /Root 1 0 R");
    struct Case {
        const std::string& file;
        std::string from;
        std::string to;
        std::string expected;
    };
    const Case cases[] = {
        {table, "/Root 1 0 R", "/Root 1", "PDF file was damaged"},
        {table, "xref\n0", "xrof\n0", "Couldn't parse an xref"},
        {table, " n\r\n", " x\r\n", "Couldn't parse an xref table"},
        {table, " 00000 n\r\n", " 0.000 n\r\n", "Couldn't parse an xref table"},
        {table, "xref\n0 4", "xref\n0 2000000000", "PDF file was damaged"},
        {table, "xref\n0 4", "xref\n0 -4", "Couldn't parse an xref table"},
        {table, "xref\n0 4", "xref\n8388604 4", "root 1 info 0/0"},  // the largest table
        {table, "trailer\n<<", "trailer\n[", "Trailer dictionary is wrong type"},
        {table, "startxref\n", "startxref\n999", "Couldn't parse an xref"},
        {table, "/Root 1 0 R", "/Root 1 0 R /Encrypt 9 0 R",
         "Encryption dictionary is damaged or of an unknown kind"},
        // An Encrypt dictionary may stand in the trailer itself.
        {table, "/Root 1 0 R", "/Root 1 0 R /Encrypt << >>",
         "Encryption dictionary is damaged or of an unknown kind"},
        {stream, "/Size ", "/Size /", "Size of xref Stream is wrong type"},
        {stream, "/Type /XRef", "/Type /XRef /Size 2000000000", "PDF file was damaged"},
        {stream, "/W [1 4 2]", "/W 5", "W item of xref Stream is wrong type"},
        {stream, "/W [1 4 2]", "/W [1 (4) 2]", "W item of xref Stream is wrong type"},
        {stream, "/W [1 4 2]", "/W [1 4]", "W item of xref Stream is wrong length"},
        {stream, "/Type /XRef", "/Type /XRef /Index [0 (x)]",
         "Index item of xref Stream is wrong type"},
        {stream, "/Type /XRef", "/Type /XRef /Index [0 50]",
         "Unexpected EOF while reading xref stream section"},
        {stream, " obj\n<< /Type /XRef", " obk\n<< /Type /XRef", "Couldn't parse an xref stream"},
    };
    // Each gives its message when the table is read as it stands; rebuilt, every
    // one but the encrypted files opens.
    for (const Case& c : cases) {
        std::string bytes = c.file;
        ASSERT_NE(bytes.rfind(c.from), std::string::npos) << c.from;
        bytes.replace(bytes.rfind(c.from), c.from.size(), c.to);
        EXPECT_EQ(Open(bytes, "", false), c.expected) << c.to;
        const bool opens = c.expected.rfind("root", 0) == 0;
        const bool encrypted = c.to.find("/Encrypt") != std::string::npos;
        EXPECT_EQ(Open(bytes, ""), opens || encrypted ? c.expected : "root 1 info 0/0 rebuilt")
            << c.to;
    }
    EXPECT_EQ(Open("%PDF-1.4\nno cross-reference here\n", ""), "PDF file was damaged");
    std::string wrongType = raw;
    wrongType[wrongType.find("stream\n") + 7 + 3] = 7;  // object 1's type
    EXPECT_EQ(Open(wrongType, "", false),
              "Wrong type of xref entry while reading xref stream section");
    // A Prev naming its own section: the chain loops, and the table is rebuilt.
    std::string looping = table;
    const std::string offset = looping.substr(looping.rfind("startxref\n") + 10);
    looping.insert(looping.rfind("trailer\n<<") + 10,
                   " /Prev " + offset.substr(0, offset.find('\n')));
    EXPECT_EQ(Open(looping, "3", false), "PDF file was damaged");
    EXPECT_EQ(Open(looping, "3"),
              "3=<</MediaBox [0 0 612 792] /Parent 2 0 R /Type /Page>> root 1 info 0/0 rebuilt");
}

// Keys read alone, wherever the parser's window of the file ends: in a key,
// between a key and its value, in a long value.
TEST(XRefTest, KeysAreReadWhereverTheWindowEnds) {
    const std::string title(700, 't');
    for (size_t pad = 470; pad < 530; ++pad) {
        const std::string bytes =
            fixture::BuildPdf(fixture::Pages(1) + "5 0 obj\n<< /P (" + std::string(pad, 'p') +
                              ") /Title (" + title + ") /Outl#69nes 7 0 R >>\nendobj\n");
        pdf::XRef xref(fixture::Source(bytes), 0);
        xref.init(false);
        const pdf::Object keys = xref.fetchKeys({5, 0}, {"Title", "Outlines"});
        ASSERT_TRUE(keys.isDictionary()) << pad;
        EXPECT_EQ(keys.dictionary()->get("Title").text(), title) << pad;
        EXPECT_EQ(keys.dictionary()->get("Outlines").reference().number, 7) << pad;
        const std::optional<pdf::Object> value = xref.fetchValue({5, 0}, "Title");
        EXPECT_EQ(value ? value->text() : "", title) << pad;
    }
}

// An object stream whose header does not read holds no objects; one that
// lists fewer objects holds only those.
TEST(XRefTest, ObjectStreamHeadersThatDoNotReadHoldNothing) {
    const std::string bytes = fixture::BuildPdf(
        "1 0 obj\n<< >>\nendobj\n@objstm 10 []\n2 0 obj\n(two)\nendobj\n3 0 obj\n(three)\n"
        "endobj\n@end\n@xref stream /Root 1 0 R");
    const struct {
        std::string from, to, expected;
    } cases[] = {
        {"/N 2", "/N 2", "2=(two) 3=(three) "},
        {"/N 2", "/N 0", "2=null 3=null "},
        {"/N 2", "/N 1", "2=(two) 3=null "},
        {"2 0 3 ", "2 0 x ", "2=null 3=null "},
    };
    for (const auto& c : cases) {
        std::string changed = bytes;
        changed.replace(changed.find(c.from), c.from.size(), c.to);
        EXPECT_EQ(Open(changed, "2 3"), c.expected + "root 1 info 0/0") << c.to;
    }
    // Headers of other than plain digits read token by token, as the parser
    // reads values; what follows the last pair may still make it a reference.
    const struct {
        std::string count, header, expected;
    } headers[] = {
        {"/N 2", "2 0%\n3 6", "2=(two) 3=(three) "}, {"/N 2", "+2 0 3 6", "2=(two) 3=(three) "},
        {"/N 2", "2 0 3 6R", "2=null 3=null "},      {"/N 2", "2 0 3 6.", "2=null 3=null "},
        {"/N 1", "2 0 3 6 ", "2=(two) 3=null "},     {"/N 1", "2 0 0 R ", "2=null 3=null "},
        {"/N 1", "2 0 R   ", "2=null 3=null "},
    };
    for (const auto& h : headers) {
        std::string changed = bytes;
        changed.replace(changed.find("/N 2"), 4, h.count);
        changed.replace(changed.find("2 0 3 6 "), 8, h.header);
        EXPECT_EQ(Open(changed, "2 3"), h.expected + "root 1 info 0/0") << h.header;
    }
    // A number past the largest table, listed in a stream the scan finds: no
    // entry is made for it.
    EXPECT_EQ(Open(fixture::BuildPdf("1 0 obj\n<< >>\nendobj\n@objstm 10 []\n8388608 0 obj\n"
                                     "(big)\nendobj\n@end\n@xref stream /Root 1 0 R"),
                   "8388608"),
              "8388608=null root 1 info 0/0 rebuilt");
}

TEST(XRefTest, FetchesThatLeadBackOrFanOutEndQuickly) {
    // Every object holds two streams whose Length is the next such object:
    // 2^30 fetches if each were followed, and the last leads back to the first.
    std::string text = fixture::Pages(1);
    for (int level = 0; level < 30; ++level) {
        const std::string next = std::to_string(level + 1 < 30 ? 11 + level : 10) + " 0 R";
        const std::string stream = "<< /Length " + next + " >>\nstream\nxx\nendstream";
        text += std::to_string(10 + level) + " 0 obj\n[" + stream + " " + stream + "]\nendobj\n";
    }
    EXPECT_NE(Open(fixture::BuildPdf(text), "10"), "10=null root 1 info 0/0");
    // An object stream whose Length is the object it holds: the loop gives
    // null, and the data ends at "endstream".
    std::string bytes = fixture::BuildPdf(
        "1 0 obj\n<< >>\nendobj\n@objstm 8\n2 0 obj\n5\nendobj\n@end\n@xref stream /Root 1 0 R");
    const std::string dict = "<< /Type /ObjStm /N 1 /First 4 /Length ";
    const size_t at = bytes.find(dict);
    const size_t end = bytes.find(" /Filter", at);
    std::string selfLength = "<</Type/ObjStm/N 1/First 4/Length 2 0 R";
    selfLength.resize(end - at, ' ');
    bytes.replace(at, end - at, selfLength);
    EXPECT_EQ(Open(bytes, "2"), "2=5 root 1 info 0/0");
    // A reference to an object the file does not have is null.
    EXPECT_EQ(Open(fixture::BuildPdf(fixture::Pages(1) + "9 0 obj\n<< /Length 2 /Filter 99 0 R "
                                                         ">>\nstream\nxx\nendstream\nendobj\n"),
                   "9"),
              "9=stream <</Filter 99 0 R /Length 2>> at 238, 2 bytes root 1 info 0/0");
    EXPECT_EQ(Open(fixture::BuildPdf(fixture::Pages(1)), "-1 99 3/4"),
              "-1=null 99=null 3/4=null root 1 info 0/0");
    // An entry that leads to another object's header gives null, unless the
    // object stands elsewhere in the file.
    EXPECT_EQ(Open(fixture::BuildPdf(kObjects + "@entry 2 =1"), "2", false),
              "2=null root 1 info 0/0");
    EXPECT_EQ(Open(fixture::BuildPdf(kObjects + "@entry 2 =1"), "2"),
              "2=(two) root 1 info 0/0 rebuilt");
    // The header must hold the listed generation too; rebuilt, the entry
    // takes the generation the file holds.
    std::string otherGeneration = fixture::BuildPdf(kObjects);
    otherGeneration.replace(otherGeneration.find("4 3 obj"), 7, "4 0 obj");
    EXPECT_EQ(Open(otherGeneration, "4/3", false), "4/3=null root 1 info 0/0");
    EXPECT_EQ(Open(otherGeneration, "4/3 4/0"), "4/3=null 4/0=44 root 1 info 0/0 rebuilt");
    std::string cut = fixture::BuildPdf(fixture::Pages(1) +
                                        "9 0 obj\n<< /Length 2 >>\nstream\nxx\nendstream\nendobj");
    cut.replace(cut.find("xx\nendstream"), 12, "xx\nendstrea0");
    EXPECT_EQ(Open(cut, "9"), "9=stream <</Length 2>> at 223, 12 bytes root 1 info 0/0");
}

}  // namespace
