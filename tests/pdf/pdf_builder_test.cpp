#include "support/pdf_builder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "support/test_files.h"

namespace {

using fixture::PdfBuilder;
using fixture::SectionOptions;
using fixture::StreamOptions;
using fixture::XrefForm;

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += static_cast<char>(v);
    return out;
}

unsigned at(const std::string& s, size_t i) {
    return static_cast<unsigned char>(s[i]);
}

// Undoes PNG row filters independently of the builder, after the PNG definition.
std::string undoPng(const std::string& encoded, size_t rowBytes, size_t bpp) {
    std::string out;
    std::string previous(rowBytes, '\0');
    for (size_t start = 0; start < encoded.size(); start += rowBytes + 1) {
        const int filter = static_cast<int>(at(encoded, start));
        std::string row = encoded.substr(start + 1, rowBytes);
        for (size_t i = 0; i < row.size(); ++i) {
            const int a = i >= bpp ? static_cast<int>(at(row, i - bpp)) : 0;
            const int b = static_cast<int>(at(previous, i));
            const int c = i >= bpp ? static_cast<int>(at(previous, i - bpp)) : 0;
            const int p = a + b - c;
            const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            const int paeth = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
            const int predicted[5] = {0, a, b, (a + b) / 2, paeth};
            row[i] = static_cast<char>((static_cast<int>(at(row, i)) + predicted[filter]) & 0xFF);
        }
        out += row;
        previous.replace(0, row.size(), row);
    }
    return out;
}

// The number after the last "startxref".
long lastStartxref(const std::string& file) {
    const size_t keyword = file.rfind("startxref\n");
    return std::stol(file.substr(keyword + 10));
}

std::string inflate(const std::string& data) {
    std::string out(1 << 16, '\0');
    uLongf size = out.size();
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                         reinterpret_cast<const Bytef*>(data.data()), data.size()),
              Z_OK);
    out.resize(size);
    return out;
}

// One document per way of laying out the cross-reference.
std::vector<std::pair<std::string, PdfBuilder>> everyForm() {
    std::vector<std::pair<std::string, PdfBuilder>> forms;
    forms.emplace_back("table", fixture::simpleDocument(2));
    forms.emplace_back("table after junk", fixture::simpleDocument(1).junk("junk line\n"));

    PdfBuilder streams = fixture::simpleDocument(1, "/Outlines 5 0 R");
    SectionOptions options = streams.currentOptions();
    options.form = XrefForm::Stream;
    streams.section(options).junk("%!\n");
    streams.compressed(5, "<< /Type /Outlines /First 6 0 R /Last 6 0 R /Count 1 >>", 8);
    streams.compressed(6, "<< /Title (One) /Parent 5 0 R /Dest [3 0 R /Fit] >>", 8);
    StreamOptions png;
    png.flate = true;
    png.predictor = 15;
    png.columns = 4;
    png.indirectLength = true;
    streams.stream(7, "", "0 0 m 10 10 l S 1 1 m 20 20 l S ", png);
    StreamOptions tiff;
    tiff.flate = true;
    tiff.predictor = 2;
    tiff.colors = 3;
    tiff.bitsPerComponent = 4;
    tiff.columns = 3;
    tiff.filterAsArray = true;
    streams.stream(9, "/Type /XObject /Subtype /Image /Width 3 /Height 2", "abcdefghijkl", tiff);
    forms.emplace_back("xref stream with object streams", streams);
    forms.emplace_back("xref stream update listing all",
                       PdfBuilder(streams).update().object(6, "<< /Title (Two) /Parent 5 0 R >>"));
    PdfBuilder indexed = streams;
    indexed.update();
    options = indexed.currentOptions();
    options.writeIndex = true;
    options.predictor = 1;
    indexed.section(options).compressed(6, "<< /Title (Three) /Parent 5 0 R >>", 10);
    forms.emplace_back("xref stream update with Index", indexed);

    PdfBuilder updated = fixture::simpleDocument(2, "/Outlines 5 0 R");
    updated.object(5, "<< /Type /Outlines /Count 0 >>").object(6, "(spare)");
    updated.update().object(5, "<< /Type /Outlines /First 7 0 R /Last 7 0 R /Count 1 >>");
    updated.object(7, "<< /Title (New) /Parent 5 0 R /Dest [4 0 R /Fit] >>");
    updated.update().freeObject(6);
    forms.emplace_back("table updates with Prev", updated);

    PdfBuilder hybrid = fixture::simpleDocument(1, "/Outlines 5 0 R").junk("xx");
    options = hybrid.currentOptions();
    options.hybrid = true;
    hybrid.section(options);
    hybrid.compressed(5, "<< /Type /Outlines /First 6 0 R /Last 6 0 R /Count 1 >>", 7);
    hybrid.compressed(6, "<< /Title (Hy) /Parent 5 0 R /Dest [3 0 R /Fit] >>", 7);
    forms.emplace_back("hybrid", hybrid);

    PdfBuilder narrow = fixture::simpleDocument(1);
    options = narrow.currentOptions();
    options.form = XrefForm::Stream;
    options.widths[0] = 0;
    options.widths[1] = 2;
    options.widths[2] = 0;
    options.writeIndex = true;
    options.compress = false;
    forms.emplace_back("xref stream without type field", narrow.section(options));
    return forms;
}

TEST(PdfBuilderTest, EveryXrefFormPassesQpdfCheck) {
    if (!qpdfAvailable()) GTEST_SKIP() << "qpdf is not installed";
    TempDir dir;
    for (const auto& [name, builder] : everyForm()) {
        const std::string path = dir.file("form.pdf");
        builder.writeTo(path);
        EXPECT_EQ(qpdfCheck(path), std::nullopt) << name;
    }

    // Offsets that are off must fail the check, or the check above proves nothing.
    std::string shifted = fixture::simpleDocument(1).build();
    shifted.insert(shifted.find("1 0 obj"), "% twenty bytes more\n");
    writeFile(dir.file("shifted.pdf"), shifted);
    EXPECT_NE(qpdfCheck(dir.file("shifted.pdf")), std::nullopt);
}

TEST(PdfBuilderTest, OffsetsCountFromTheHeaderAndPointAtObjects) {
    const std::string junk = "garbage before the header\n";
    PdfBuilder builder = fixture::simpleDocument(2).junk(junk);
    builder.update().object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 100 100] >>");
    const std::string file = builder.build();
    const long base = static_cast<long>(junk.size());

    for (int num = 1; num <= 4; ++num) {
        const std::string line = std::to_string(num) + " 0 obj\n";
        EXPECT_EQ(file.compare(builder.offsetOf(num), line.size(), line), 0) << num;
    }
    EXPECT_GT(builder.offsetOf(3), builder.offsetOf(4));  // the update's version
    EXPECT_EQ(builder.offsetOf(99), -1);

    const long lastXref = lastStartxref(file);
    EXPECT_EQ(file.compare(base + lastXref, 9, "xref\n3 1\n"), 0);
    char entry[21];
    std::snprintf(entry, sizeof entry, "%010ld 00000 n", builder.offsetOf(3) - base);
    EXPECT_EQ(file.substr(base + lastXref + 9, 18), entry);
    const size_t prev = file.rfind("/Prev ");
    ASSERT_NE(prev, std::string::npos);
    EXPECT_EQ(file.compare(base + std::stol(file.substr(prev + 6)), 9, "xref\n0 5\n"), 0);

    // Raw rows of an uncompressed xref stream: type, 4-byte offset, 2-byte generation or index.
    PdfBuilder streams = fixture::simpleDocument(1).junk(junk);
    SectionOptions options = streams.currentOptions();
    options.form = XrefForm::Stream;
    options.compress = false;
    streams.section(options).compressed(4, "(held)", 5);
    const std::string streamFile = streams.build();
    EXPECT_EQ(streams.offsetOf(4), -1);
    const long xref = lastStartxref(streamFile);
    EXPECT_EQ(streams.offsetOf(6), base + xref);  // the xref stream takes the next number
    const std::string rows = streamFile.substr(streamFile.find("stream\n", base + xref) + 7, 7 * 7);
    const auto row = [&](int num) { return rows.substr(7 * num, 7); };
    EXPECT_EQ(row(0), bytes({0, 0, 0, 0, 0, 0xFF, 0xFF}));
    const long catalog = streams.offsetOf(1) - base;
    EXPECT_EQ(row(1), bytes({1, 0, 0, static_cast<int>(catalog >> 8),
                             static_cast<int>(catalog & 0xFF), 0, 0}));
    EXPECT_EQ(row(4), bytes({2, 0, 0, 0, 5, 0, 0}));
    EXPECT_EQ(row(6),
              bytes({1, 0, 0, static_cast<int>(xref >> 8), static_cast<int>(xref & 0xFF), 0, 0}));
}

TEST(PdfBuilderTest, HybridTableLeavesCompressedObjectsToItsStream) {
    PdfBuilder hybrid = fixture::simpleDocument(1).junk("xx");
    SectionOptions options = hybrid.currentOptions();
    options.hybrid = true;
    hybrid.section(options).compressed(4, "(held)", 5);
    const std::string file = hybrid.build();
    // Listing 4 as free would hide it from readers that let the table win over /XRefStm.
    const size_t table = file.find("xref\n0 4\n");
    ASSERT_NE(table, std::string::npos);
    EXPECT_EQ(file.compare(table + 9 + 4 * 20, 4, "5 2\n"), 0);
    EXPECT_NE(file.find("/XRefStm " + std::to_string(hybrid.offsetOf(6) - 2) + " "),
              std::string::npos);
    EXPECT_NE(file.find("/Size 7 /W [1 4 2] /Index [4 1]"), std::string::npos);
}

TEST(PdfBuilderTest, StreamDictionariesAndLengths) {
    PdfBuilder builder;
    builder.stream(1, "/Type /XObject", "hello");
    StreamOptions broken;
    broken.lengthOverride = "999";
    builder.stream(2, "", "abc", broken);
    StreamOptions indirect;
    indirect.flate = true;
    indirect.predictor = 12;
    indirect.columns = 3;
    indirect.filterAsArray = true;
    indirect.indirectLength = true;
    builder.stream(3, "", "abcdef", indirect);
    builder.object(7, "null");
    const std::string file = builder.build();

    EXPECT_NE(
        file.find("1 0 obj\n<< /Type /XObject /Length 5 >>\nstream\nhello\nendstream\nendobj\n"),
        std::string::npos);
    EXPECT_NE(file.find("2 0 obj\n<< /Length 999 >>\nstream\nabc\nendstream"), std::string::npos);
    const std::string dict =
        "<< /Length 8 0 R /Filter [/FlateDecode] /DecodeParms "
        "[<< /Predictor 12 /Columns 3 >>] >>\nstream\n";
    const size_t data = file.find(dict);
    ASSERT_NE(data, std::string::npos);
    const long lengthObject = builder.offsetOf(8);  // above every number the test gave
    ASSERT_GT(lengthObject, 0);
    const long length = std::stol(file.substr(lengthObject + 8));
    const std::string encoded = file.substr(data + dict.size(), length);
    EXPECT_EQ(file.compare(data + dict.size() + length, 10, "\nendstream"), 0);
    EXPECT_EQ(undoPng(inflate(encoded), 3, 1), "abcdef");
}

TEST(PdfBuilderTest, PngPredictorMatchesHandWorkedRows) {
    const std::string rows = bytes({1, 2, 3, 5, 7, 9});
    using fixture::applyPngPredictor;
    EXPECT_EQ(applyPngPredictor(rows, 3, 1, 0), bytes({0, 1, 2, 3, 0, 5, 7, 9}));
    EXPECT_EQ(applyPngPredictor(rows, 3, 1, 1), bytes({1, 1, 1, 1, 1, 5, 2, 2}));
    EXPECT_EQ(applyPngPredictor(rows, 3, 1, 2), bytes({2, 1, 2, 3, 2, 4, 5, 6}));
    EXPECT_EQ(applyPngPredictor(rows, 3, 1, 3), bytes({3, 1, 2, 2, 3, 5, 4, 4}));
    EXPECT_EQ(applyPngPredictor(rows, 3, 1, 4), bytes({4, 1, 1, 1, 4, 4, 2, 2}));
    EXPECT_EQ(applyPngPredictor(rows, 3, 1, -1), bytes({0, 1, 2, 3, 1, 5, 2, 2}));
    EXPECT_EQ(applyPngPredictor(bytes({0x10, 0x00}), 2, 1, 1), bytes({1, 0x10, 0xF0}));
    EXPECT_EQ(applyPngPredictor(bytes({1, 2, 3, 5}), 2, 2, 1), bytes({1, 1, 2, 2, 3}));

    std::string varied;
    for (int i = 0; i < 240; ++i) varied += static_cast<char>((i * 37 + (i / 7) * 91) & 0xFF);
    for (int bpp = 1; bpp <= 3; ++bpp) {
        for (int filter = -1; filter <= 4; ++filter) {
            const std::string encoded = applyPngPredictor(varied, 8, bpp, filter);
            EXPECT_EQ(undoPng(encoded, 8 * bpp, bpp), varied) << bpp << " " << filter;
        }
    }
}

TEST(PdfBuilderTest, TiffPredictorMatchesHandWorkedRows) {
    using fixture::applyTiffPredictor;
    // Two 8-bit colours: each byte minus the one two bytes before, afresh on every row.
    EXPECT_EQ(applyTiffPredictor(bytes({1, 2, 3, 5, 2, 1, 1, 2, 3, 5, 2, 1}), 3, 2, 8),
              bytes({1, 2, 2, 3, 0xFF, 0xFC, 1, 2, 2, 3, 0xFF, 0xFC}));
    EXPECT_EQ(applyTiffPredictor(bytes({0xB0}), 8, 1, 1), bytes({0xE8}));  // 10110000
    EXPECT_EQ(applyTiffPredictor(bytes({0x1B}), 4, 1, 2), bytes({0x15}));  // 0 1 2 3
    // 12-bit rows padded to two bytes; the pad is left alone.
    EXPECT_EQ(applyTiffPredictor(bytes({0x35, 0x9F, 0x35, 0x9F}), 3, 1, 4),
              bytes({0x32, 0x4F, 0x32, 0x4F}));
    EXPECT_EQ(applyTiffPredictor(bytes({0x01, 0x00, 0x00, 0xFF}), 2, 1, 16),
              bytes({0x01, 0x00, 0xFF, 0xFF}));
    EXPECT_THROW(applyTiffPredictor("ab", 2, 1, 3), std::invalid_argument);
}

TEST(PdfBuilderTest, ImpossibleListingsAreRefused) {
    PdfBuilder table = fixture::simpleDocument(1);
    table.compressed(4, "null", 5);
    EXPECT_THROW(table.build(), std::logic_error);

    // Without a type field every listed entry must be in use, and object 0 is free.
    PdfBuilder untyped = fixture::simpleDocument(1);
    SectionOptions options = untyped.currentOptions();
    options.form = XrefForm::Stream;
    options.widths[0] = 0;
    untyped.section(options);
    EXPECT_THROW(untyped.build(), std::logic_error);
}

TEST(PdfBuilderTest, TempDirAndFileHelpers) {
    std::string folder;
    {
        TempDir dir;
        folder = dir.path();
        const std::string binary("a\0b\r\n\xFF", 6);
        writeFile(dir.file("x.bin"), binary);
        EXPECT_TRUE(fileExists(dir.file("x.bin")));
        EXPECT_EQ(readFile(dir.file("x.bin")), binary);
        EXPECT_THROW(readFile(dir.file("missing")), std::runtime_error);
    }
    EXPECT_FALSE(fileExists(folder));
}

}  // namespace
