#include <gtest/gtest.h>

#include "app/exception.h"
#include "pdf/document.h"
#include "pdf/parser.h"
#include "support/byte_source.h"
#include "support/pdf_builder.h"
#include "support/test_files.h"

namespace {

using fixture::PdfBuilder;
using fixture::SectionOptions;
using fixture::XrefForm;

// A cross-reference table read straight from built bytes.
class OpenedXRef {
public:
    explicit OpenedXRef(const std::string& bytes) : file_(bytes), stream_(file_.stream()) {
        xref.init(stream_.get());
    }

    // The object as text-ish: integers and strings, "null" for anything else.
    std::string show(int number, int generation = 0) {
        CPdfElement object;
        xref.fetch(number, generation, object);
        if (object.isInt()) return std::to_string(object.getInt());
        if (object.isString()) return "(" + object.getText() + ")";
        if (object.isDict()) return "dict";
        if (object.isNull()) return "null";
        return "kind " + std::to_string(object.getKind());
    }

private:
    fixture::ByteFile file_;
    StreamRef stream_;

public:
    CPdfXRef xref;
};

std::string FailureOf(const std::string& bytes) {
    try {
        OpenedXRef opened(bytes);
    } catch (const CPdfException& failure) {
        return failure.Message();
    }
    return "opened";
}

SectionOptions StreamForm(int w0, int w1, int w2, bool index) {
    SectionOptions options;
    options.form = XrefForm::Stream;
    options.widths[0] = w0;
    options.widths[1] = w1;
    options.widths[2] = w2;
    options.writeIndex = index;
    options.trailerExtra = "/Root 1 0 R";
    return options;
}

PdfBuilder Objects(const SectionOptions& options) {
    PdfBuilder builder;
    builder.section(options);
    builder.object(1, "<< /Type /Catalog >>");
    builder.object(2, "(two)");
    builder.object(4, "44", 3);
    return builder;
}

TEST(XRefTest, ReadsEveryTableForm) {
    SectionOptions classic;
    classic.trailerExtra = "/Root 1 0 R /Info 2 0 R";
    // A type width of 0 makes every entry an object in use.
    for (const SectionOptions& options :
         {classic, StreamForm(1, 4, 2, false), StreamForm(1, 2, 1, true), StreamForm(2, 3, 2, true),
          StreamForm(0, 2, 1, true)}) {
        OpenedXRef opened(Objects(options).build());
        EXPECT_EQ(opened.show(1), "dict");
        EXPECT_EQ(opened.show(2), "(two)");
        EXPECT_EQ(opened.show(4, 3), "44");
        EXPECT_EQ(opened.show(4, 0), "null");  // another generation
        EXPECT_EQ(opened.show(3), "null");     // free
        EXPECT_EQ(opened.xref.rootNum, 1);
    }
    OpenedXRef withInfo(Objects(classic).build());
    EXPECT_EQ(withInfo.xref.infoNum, 2);
    OpenedXRef withoutInfo(Objects(StreamForm(1, 4, 2, false)).build());
    EXPECT_EQ(withoutInfo.xref.infoNum, 0);
    EXPECT_EQ(withoutInfo.xref.infoGen, 0);
}

TEST(XRefTest, ObjectStreamsAndTheirBytes) {
    PdfBuilder builder;
    builder.section(StreamForm(1, 4, 2, false));
    builder.object(1, "<< /Type /Catalog >>");
    builder.compressed(2, "(in stream)", 10);
    builder.compressed(3, "<< /K [1 2 3] >>", 10);
    builder.compressed(4, "77", 11);
    OpenedXRef opened(builder.build());
    EXPECT_EQ(opened.show(2), "(in stream)");
    EXPECT_EQ(opened.show(4), "77");  // another object stream, then back again
    EXPECT_EQ(opened.show(3), "dict");
    EXPECT_EQ(opened.xref.getEntries()[3].type, 2u);

    uint32_t length = 0;
    const unsigned char* bytes = opened.xref.getObjectBytes(2, 0, length);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), length).substr(0, 11),
              "(in stream)");
    EXPECT_EQ(opened.xref.getObjectBytes(2, 1, length), nullptr);  // generation must be 0
    EXPECT_EQ(opened.xref.getObjectBytes(1, 0, length), nullptr);  // not compressed
    // Numbers outside the table are refused by fetch and by getObjectBytes alike.
    EXPECT_THROW(opened.xref.getObjectBytes(99, 0, length), CPdfException);
    EXPECT_THROW(opened.show(-1), CPdfException);
    try {
        opened.show(100);
        ADD_FAILURE() << "object 100 was fetched";
    } catch (const CPdfException& failure) {
        EXPECT_EQ(failure.Message(), "Corrupted PDF file");
    }
}

TEST(XRefTest, UpdatesChainThroughPrev) {
    for (bool asReference : {false, true}) {
        for (XrefForm form : {XrefForm::Table, XrefForm::Stream}) {
            PdfBuilder builder;
            SectionOptions options;
            options.form = form;
            options.trailerExtra = "/Root 1 0 R";
            builder.section(options).object(1, "<< >>").object(5, "(old)").object(6, "(kept)");
            builder.update();
            options.prevAsReference = asReference;
            builder.section(options).object(5, "(new)").freeObject(6);
            OpenedXRef opened(builder.build());
            EXPECT_EQ(opened.show(5), "(new)");
            EXPECT_EQ(opened.show(6, 1), "null");
        }
    }
}

TEST(XRefTest, PrevLoopsAndAbsurdSizesEnd) {
    // A Prev that names its own section ends the chain.
    std::string looping = fixture::simpleDocument(1).build();
    size_t trailer = looping.rfind("trailer");
    size_t startxref = looping.rfind("startxref\n");
    std::string offset =
        looping.substr(startxref + 10, looping.find('\n', startxref + 10) - startxref - 10);
    looping.insert(trailer + 10, " /Prev " + offset + " ");
    EXPECT_EQ(FailureOf(looping), "opened");

    // A section claiming billions of entries is refused, not allocated.
    std::string huge = fixture::simpleDocument(1).build();
    size_t subsection = huge.find("xref\n0 ") + 7;
    huge.replace(subsection, huge.find('\n', subsection) - subsection, "2000000000");
    EXPECT_EQ(FailureOf(huge), "PDF file was damaged");
}

TEST(XRefTest, MessagesOfBrokenSections) {
    PdfBuilder streams;
    streams.section(StreamForm(1, 4, 2, false)).object(1, "<< >>");
    const std::string table = fixture::simpleDocument(1).build();
    const std::string stream = streams.build();
    struct Case {
        const std::string& file;
        const char* from;
        const char* to;
        const char* message;
    };
    const Case cases[] = {
        {table, "/Root 1 0 R", "/Root 1", "PDF file was damaged"},
        {table, "xref\n0", "xrof\n0", "Couldn't parse an xref"},
        {table, " n\r\n", " x\r\n", "Couldn't parse an xref table"},
        {table, "trailer\n<<", "trailer\n[", "Trailer dictionary is wrong type"},
        {stream, "/Size ", "/Size /", "Size of xref Stream is wrong type"},
        {stream, "/W [1 4 2]", "/W 5", "W item of xref Stream is wrong type"},
        {stream, "/W [1 4 2]", "/W [1 (4) 2]", "W item of xref Stream is wrong type"},
        {stream, "/W [1 4 2]", "/W [1 4]", "W item of xref Stream is wrong length"},
        {stream, "/Type /XRef", "/Type /XRef /Index [0 (x)]",
         "Index item of xref Stream is wrong type"},
        {stream, "/Type /XRef", "/Type /XRef /Index [0 50]",
         "Unexpected EOF while reading xref stream section"},
        {stream, " obj\n<< /Type /XRef", " obk\n<< /Type /XRef", "Couldn't parse an xref stream"},
    };
    for (const Case& c : cases) {
        std::string bytes = c.file;
        bytes.replace(bytes.rfind(c.from), std::string(c.from).size(), c.to);
        EXPECT_EQ(FailureOf(bytes), c.message) << c.to;
    }
    EXPECT_EQ(FailureOf("%PDF-1.4\nno cross-reference here\n"), "PDF file was damaged");

    SectionOptions raw = StreamForm(1, 1, 1, true);
    raw.compress = false;
    PdfBuilder wrongType;
    wrongType.section(raw).object(1, "<< >>");
    std::string bytes = wrongType.build();
    bytes[bytes.find("stream\n") + 7] = 7;  // the first entry's type
    EXPECT_EQ(FailureOf(bytes), "Wrong type of xref entry while reading xref stream section");
}

TEST(XRefTest, ObjectStreamWhoseLengthLeadsIntoItselfYieldsNull) {
    PdfBuilder builder;
    builder.section(StreamForm(1, 4, 2, false));
    builder.object(1, "<< /Type /Catalog >>");
    builder.compressed(2, "5", 8);
    std::string bytes = builder.build();
    // Make the object stream's Length the object it holds, keeping every offset.
    const std::string dict = "<< /Type /ObjStm /N 1 /First 4 /Length ";
    size_t at = bytes.find(dict);
    ASSERT_NE(at, std::string::npos);
    size_t end = bytes.find_first_of(" />", at + dict.size());
    std::string replacement = "<</Type/ObjStm/N 1/First 4/Length 2 0 R";
    replacement.resize(end - at, ' ');
    bytes.replace(at, end - at, replacement);
    OpenedXRef opened(bytes);
    EXPECT_EQ(opened.show(2), "null");
}

TEST(XRefTest, LengthsThatFanOutOrLeadBackEndQuickly) {
    // Every object holds two streams whose Length is the next such object:
    // 2^30 fetches if each were followed, and one leads back to the first.
    PdfBuilder builder = fixture::simpleDocument(1, "/X 10 0 R");
    const int levels = 30;
    for (int level = 0; level < levels; ++level) {
        const std::string next = std::to_string(level + 1 < levels ? 11 + level : 10) + " 0 R";
        const std::string stream = "<< /Length " + next + " >>\nstream\nxx\nendstream";
        builder.object(10 + level, "[" + stream + " " + stream + "]");
    }
    // A Filter that cannot be resolved throws, and the stream made so far is released.
    builder.object(50, "<< /Length 2 /Filter 99 0 R >>\nstream\nxx\nendstream");
    OpenedXRef opened(builder.build());
    EXPECT_NE(opened.show(10), "null");
    EXPECT_THROW(opened.show(50), CPdfException);
}

TEST(DocumentTest, OpensAfterJunkAndRefusesEncryption) {
    TempDir dir;
    const std::string path = dir.file("doc.pdf");
    fixture::simpleDocument(2).junk(std::string(100, 'j') + "\n").writeTo(path);
    CPdfDocument document;
    document.open(path);
    EXPECT_TRUE(document.isOk());
    EXPECT_EQ(document.getXRef()->getStart(), 101u);
    document.close();
    EXPECT_FALSE(document.isOk());

    for (const char* encrypt : {"/Encrypt 9 0 R", "/Encrypt << /Filter /Standard >>"}) {
        PdfBuilder encrypted = fixture::simpleDocument(1);
        SectionOptions options = encrypted.currentOptions();
        options.trailerExtra += " ";
        options.trailerExtra += encrypt;
        encrypted.section(options).object(9, "<< /Filter /Standard >>");
        encrypted.writeTo(path);
        try {
            document.open(path);
            FAIL() << "an encrypted file was opened";
        } catch (const CPdfException& failure) {
            EXPECT_EQ(failure.Message(), "PDF file is encrypted");
        }
        EXPECT_FALSE(document.isOk());
    }

    try {
        document.open(dir.file("missing.pdf"));
        FAIL() << "a missing file was opened";
    } catch (const CPdfException& failure) {
        EXPECT_EQ(failure.Message(), "Can't open PDF file\n");
    }
}

TEST(DocumentTest, HybridFilesListHiddenObjects) {
    PdfBuilder builder = fixture::simpleDocument(1);
    SectionOptions options = builder.currentOptions();
    options.hybrid = true;
    builder.section(options);
    builder.object(5, "(in the table)");
    builder.compressed(6, "(only in the hidden stream)", 7);
    TempDir dir;
    builder.writeTo(dir.file("hybrid.pdf"));
    CPdfDocument document;
    document.open(dir.file("hybrid.pdf"));
    CPdfElement object;
    document.getXRef()->fetch(6, 0, object);
    EXPECT_EQ(object.getText(), "only in the hidden stream");
    document.getXRef()->fetch(5, 0, object);
    EXPECT_EQ(object.getText(), "in the table");
}

}  // namespace
