#include <gtest/gtest.h>
#include <zlib.h>

#include "app/exception.h"
#include "pdf/parser.h"
#include "support/byte_source.h"

namespace {

std::string Deflate(const std::string& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size,
              reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()), 9);
    out.resize(size);
    return out;
}

std::string StreamObject(const std::string& entries, const std::string& data) {
    return "<< /Length " + std::to_string(data.size()) + " " + entries + " >>\nstream\n" + data +
           "\nendstream\n";
}

// Parses one stream object and gives its decoded bytes, or "<error>".
std::string Decode(const std::string& entries, const std::string& data) {
    fixture::ByteFile file(StreamObject(entries, data));
    CPdfParser parser(nullptr, file.stream());
    CPdfElement object;
    parser.getObj(object);
    if (!object.isStream()) return "<error>";
    return fixture::ReadAll(*object.getStream());
}

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += static_cast<char>(v);
    return out;
}

TEST(FlateTest, DecodesWholeDataAndRefusesOtherFilters) {
    std::string text = "The quick brown fox jumps over the lazy dog. ";
    for (int i = 0; i < 6; ++i) text += text;
    EXPECT_EQ(Decode("/Filter /FlateDecode", Deflate(text)), text);
    EXPECT_EQ(Decode("/Filter /Fl", Deflate(text)), text);
    EXPECT_EQ(Decode("/Filter [/FlateDecode]", Deflate(text)), text);
    EXPECT_EQ(Decode("", "raw bytes"), "raw bytes");
    EXPECT_EQ(Decode("/Filter /DCTDecode", "x"), "<error>");
    EXPECT_EQ(Decode("/Filter [/FlateDecode /ASCIIHexDecode]", "x"), "<error>");
    EXPECT_EQ(Decode("/Filter 7", "x"), "<error>");

    // Highly compressible data: inflate holds output back after the last
    // input byte, and none of it may be lost.
    std::string zeros(1 << 20, '\0');
    zeros += "tail";
    EXPECT_EQ(Decode("/Filter /FlateDecode", Deflate(zeros)), zeros);

    // Damaged data ends quietly where inflate gives up.
    std::string damaged = Deflate(text);
    damaged.resize(damaged.size() / 2);
    std::string partial = Decode("/Filter /FlateDecode", damaged);
    EXPECT_LT(partial.size(), text.size());
    EXPECT_EQ(partial, text.substr(0, partial.size()));
}

TEST(PredictorTest, PngRowsOfEachType) {
    // Two columns of 8-bit grey; the previous row starts as zeros.
    const std::string rows = Bytes({
        0, 10, 20,  // None
        1, 5, 5,    // Sub: 5, 10
        2, 1, 1,    // Up: 6, 11
        3, 4, 4,    // Average: (0+6)/2+4 = 7, (7+11)/2+4 = 13
        4, 1, 1,    // Paeth: 7+1 (up wins) = 8, ...
        7, 9, 9,    // unknown type: raw
    });
    const std::string expected = Bytes({10, 20, 5, 10, 6, 11, 7, 13, 8, 14, 9, 9});
    EXPECT_EQ(
        Decode("/Filter /FlateDecode /DecodeParms << /Predictor 15 /Columns 2 >>", Deflate(rows)),
        expected);

    // Predictor 12, Columns 5: rows of six bytes give five; a cut-off last row is dropped.
    std::string up = Bytes({2, 1, 2, 3, 4, 5, 2, 1, 1, 1, 1, 1, 2, 9});
    EXPECT_EQ(
        Decode("/Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns 5 >>", Deflate(up)),
        Bytes({1, 2, 3, 4, 5, 2, 3, 4, 5, 6}));

    // Parameters in a one-element array, as some writers give them.
    EXPECT_EQ(
        Decode("/Filter [/FlateDecode] /DecodeParms [<< /Predictor 12 /Columns 5 >>]", Deflate(up)),
        Bytes({1, 2, 3, 4, 5, 2, 3, 4, 5, 6}));
    // Parameters no row could have make the stream unreadable.
    EXPECT_EQ(
        Decode("/Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns 0 >>", Deflate(up)),
        "<error>");
}

TEST(PredictorTest, TiffHorizontalDifferencing) {
    // 8-bit, two colours: each sample adds the same colour one pixel left.
    EXPECT_EQ(Decode("/Filter /FlateDecode /DecodeParms << /Predictor 2 /Columns 3 /Colors 2 >>",
                     Deflate(Bytes({1, 2, 1, 1, 1, 1}))),
              Bytes({1, 2, 2, 3, 3, 4}));
    // 1-bit samples: 1 0 0 1 becomes 1 1 1 0.
    EXPECT_EQ(Decode("/Filter /FlateDecode /DecodeParms << /Predictor 2 /Columns 4 "
                     "/BitsPerComponent 1 >>",
                     Deflate(Bytes({0x90}))),
              Bytes({0xE0}));
    // 4-bit samples wrap modulo 16.
    EXPECT_EQ(Decode("/Filter /FlateDecode /DecodeParms << /Predictor 2 /Columns 4 "
                     "/BitsPerComponent 4 >>",
                     Deflate(Bytes({0xF1, 0x11}))),
              Bytes({0xF0, 0x12}));
}

TEST(PredictorTest, LookCharAgreesWithGetChar) {
    fixture::ByteFile file(
        StreamObject("/Filter /FlateDecode /DecodeParms << /Predictor 12 "
                     "/Columns 2 >>",
                     Deflate(Bytes({2, 7, 8, 2, 1, 1}))));
    CPdfParser parser(nullptr, file.stream());
    CPdfElement object;
    parser.getObj(object);
    CPdfStream& stream = *object.getStream();
    for (int expected : {7, 8, 8, 9}) {
        EXPECT_EQ(stream.lookChar(), expected);
        EXPECT_EQ(stream.getChar(), expected);
    }
    EXPECT_EQ(stream.lookChar(), -1);
    EXPECT_EQ(stream.getChar(), -1);
    StreamRef plain(file.stream());
    EXPECT_THROW(plain->getRawChar(), CPdfException);
}

TEST(StreamTest, FileRangesAndEmbeddedLimits) {
    fixture::ByteFile file("0123456789abcdefghij");
    CPdfStream* range = file.stream(5, 4);
    EXPECT_EQ(fixture::ReadAll(*range), "5678");
    range->reset();
    EXPECT_EQ(range->getChar(), '5');
    EXPECT_EQ(range->getPos(), 6u);
    range->decRef();

    CPdfStream* whole = file.stream();
    CPdfElement none;
    none.initNull();
    CPdfEmbedStream limited(whole, none, true, 10);
    EXPECT_EQ(fixture::ReadAll(limited), "0123456789");
    EXPECT_EQ(limited.lookChar(), -1);
    CPdfEmbedStream unlimited(whole, none, false, 0);
    EXPECT_EQ(fixture::ReadAll(unlimited), "abcdefghij");
    whole->decRef();
}

}  // namespace
