// Tables of bytes and what the tokeniser, parser and stream decoders make of them.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "base/error.h"
#include "pdf/filters.h"
#include "pdf/lexer.h"
#include "pdf/object.h"
#include "pdf/parser.h"
#include "support/fixture.h"
#include "support/harness.h"

namespace {

using fixture::Describe;

std::string ParsedValues(const std::string& bytes) {
    std::string out;
    for (const pdf::Object& value : fixture::ParseAll(bytes)) {
        out += (out.empty() ? "" : " | ") + Describe(value);
    }
    return out;
}

TEST(SyntaxTest, TokensAndValues) {
    const std::pair<std::string, std::string> cases[] = {
        // Literal strings: escapes, continuations, nesting, zero bytes.
        {"(a\\061b) (x\\\ny) (x\\\r\ny) (a(b)c) (\\(\\)\\\\)",
         "(a1b) | (xy) | (xy) | (a\\x28b\\x29c) | (\\x28\\x29\\x5C)"},
        {"(\\b\\f\\n\\r\\t\\q) (\\1234)", "(\\x08\\x0C\\x0A\\x0D\\x09q) | (S4)"},
        {std::string("(a\0b) (a\\0b) (a\\000b) (a\\400b) (open", 36),
         "(a\\x00b) | (a\\x00b) | (a\\x00b) | (a\\x00b) | (open)"},
        // Hexadecimal strings pair their digits; a stray digit counts as 0.
        {"<41 42 4> <4142", "(AB@) | (AB)"},
        {"<410042> <4G>", "(A\\x00B) | (@)"},
        // An unclosed string whose last byte is an escaped parenthesis keeps it.
        {"(a\\)", "(a\\x29)"},
        // Names decode number signs and end at a decoded zero byte.
        {"/A#42 /A#4 /B /A#xy /A#00B /Type/Page", "/AB | /A@ | /B | /A#xy | /A | /Type | /Page"},
        // Numbers, keywords, comments and stray closers.
        {"+5 - .5 3. 1.2.3 -17 99999999999 true false null endobj",
         "5 | 0 | 0.5 | 3.0 | 1.2 | -17 | 2147483647 | true | false | null | {endobj}"},
        {"% comment (x\n42 ) } > {", "42 | error | error | error | error"},
        // Containers: the first of two keys wins, stray values between keys go.
        {"<< /A 1 /B 2 0 R /D [1 2 0 R] /A 9 5 /K (v) >>", "<</A 1 /B 2 0 R /D [1 2 0 R] /K (v)>>"},
        {"[1 R] [1 2 << /A 3", "[1 {R}] | [1 2 <</A 3>>]"},
        // Arrays inside arrays, and more items than an array is first given room for.
        {"[1 [2 [3 4] 5] [] [[]] 6] [0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 [16 [17]] 18 19]",
         "[1 [2 [3 4] 5] [] [[]] 6] | [0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 [16 [17]] 18 19]"},
        {"<< /B 1 /A 2 /B 3 /A 4 >>", "<</A 2 /B 1>>"},
        // As many keys as no small dictionary has, in reverse, two of them twice.
        {"<< /Q 1 /P 2 /O 3 /N 4 /M 5 /L 6 /K 7 /J 8 /I 9 /H 10 /G 11 /F 12 /E 13 /D 14 /C 15 /B "
         "16 /A 17 /C 99 /Q 98 >>",
         "<</A 17 /B 16 /C 15 /D 14 /E 13 /F 12 /G 11 /H 10 /I 9 /J 8 /K 7 /L 6 /M 5 /N 4 /O 3 /P "
         "2 /Q 1>>"},
        {"<< /A /B ) /C 1 >>", "<</A /B /C 1>>"},
        // A stream needs a filter the reader decodes; where its Length is no
        // number, its data ends at "endstream".
        {"<< /Length (5) >> stream\nhello\nendstream", "stream <</Length (5)>> at 25, 5 bytes"},
        {"<< /Length 2 >> stream\r\nhello\r\nendstream 7",
         "stream <</Length 2>> at 24, 5 bytes | 7"},
        {"<< /Length 9 >> stream\nhello\nendstrem\nendobj", "stream <</Length 9>> at 23, 14 bytes"},
        {"<< >> stream\nhello", "stream <<>> at 13, 5 bytes"},
        {"<< /Length 5 /Filter /DCTDecode >> stream\nhello\nendstream",
         "error | {hello} | {endstream}"},
        {"<< /Length 5 /Filter 7 >> stream\nhello\nendstream", "error | {hello} | {endstream}"},
        // Flate whose predictor has no rows to work on is not decoded either.
        {"<< /Length 5 /Filter /Fl /DecodeParms << /Predictor 12 /Columns 0 >> >> "
         "stream\nhello\nendstream",
         "error | {hello} | {endstream}"},
        {"<< /Length 5 /Filter /Fl /DecodeParms << /Predictor 1 /Columns 0 >> >> "
         "stream\nhello\nendstream",
         "stream <</DecodeParms <</Columns 0 /Predictor 1>> /Filter /Fl /Length 5>> at 78, 5 "
         "bytes"},
        {"<< /Length 3 >> stream\n\nab\nendstream", "stream <</Length 3>> at 23, 3 bytes"},
        {"<< /Length 5 >> % c\nstream\nhello\nendstream 7",
         "stream <</Length 5>> at 27, 5 bytes | 7"},
        // A Length by reference, with nothing to resolve it: found by "endstream".
        {"<< /Length 5 0 R >> stream\nhello\nendstream", "stream <</Length 5 0 R>> at 27, 5 bytes"},
    };
    for (const auto& [input, expected] : cases) EXPECT_EQ(ParsedValues(input), expected) << input;
    // A Length past the end of any file: the data ends at "endstream", and no overflow.
    EXPECT_EQ(ParsedValues("<< /Length 9223372036854775807 >> stream\nhello\nendstream"),
              "stream <</Length 2147483647>> at 41, 5 bytes");
    EXPECT_EQ(ParsedValues("<< /Length 99999999999999999999 >> stream\nhello\nendstream"),
              "stream <</Length 2147483647>> at 42, 5 bytes");
}

// A value keeps its kind and its content through every copy and move, into an
// object of any other kind; what a kind does not have reads as nothing.
TEST(SyntaxTest, ValuesKeepWhatTheyHoldThroughCopiesAndMoves) {
    const std::vector<pdf::Object> values = fixture::ParseAll(
        "true -7 2.5 (a string longer than any short string) /N endobj [1 (s)] << /A 1 >> 4 0 R "
        "null");
    ASSERT_EQ(values.size(), 10u);
    for (const pdf::Object& from : values) {
        for (pdf::Object to : values) {
            pdf::Object copied = to, moved = from;
            copied = from;
            to = std::move(moved);
            pdf::Object constructed(std::move(to));
            const pdf::Object& same = constructed;
            constructed = same;
            EXPECT_EQ(Describe(copied) + Describe(constructed), Describe(from) + Describe(from));
        }
        const bool text = !from.isNumber() && !from.isBoolean() && !from.isReference() &&
                          !from.isNull() && !from.array() && !from.dictionary();
        EXPECT_EQ(from.text().empty(), !text) << Describe(from);
        if (!from.isNumber() && !from.isBoolean() && !from.isReference()) {
            EXPECT_TRUE(from.integer64() == 0 && from.number() == 0.0 && !from.boolean() &&
                        from.reference() == pdf::Reference{})
                << Describe(from);
        }
    }
}

// A dictionary of a hundred thousand keys, in reverse, is read in well under
// a second: its keys are not sorted in the square of their number.
TEST(SyntaxTest, DictionariesOfManyKeysReadQuickly) {
    std::string text = "<<";
    for (int key = 100000; key > 0; --key) {
        text += " /K" + std::to_string(key) + " " + std::to_string(key);
    }
    const auto start = std::chrono::steady_clock::now();
    const pdf::Object object = fixture::ParseAll(text + " /K7 0 >>").at(0);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
    ASSERT_TRUE(object.isDictionary());
    EXPECT_EQ(object.dictionary()->entries().size(), 100000u);
    EXPECT_EQ(object.dictionary()->get("K7").integer(), 7);
    EXPECT_EQ(object.dictionary()->entries().front().first, "K1");
    EXPECT_LT(seconds.count(), 5.0);
}

// Values carried into a new file (a trailer's Info and ID) are written as
// text that parses back to the same value, strings byte for byte.
TEST(SyntaxTest, ValuesWrittenAsTextReadTheSame) {
    const std::pair<std::string, std::string> cases[] = {
        {"(a\\)b) <FEFF>", "<612962> | <FEFF>"},
        {"/N#20a /A#23 true false null -3 0.125 1e3",
         "/N#20a | /A#23 | true | false | null | -3 | 0.125 | 1 | e3"},
        {"[1 2 0 R [()] << >>]", "[1 2 0 R [<>] <<>>]"},
        {"<< /Title (t) /Author <00> /K << /X [1.5] >> >>",
         "<</Author <00>/K <</X [1.5]>>/Title <74>>>"},
        {"-0.25 123456789.125 0.0000000001", "-0.25 | 123456789.125 | 0.0000000001"},
    };
    for (const auto& [input, expected] : cases) {
        std::string written;
        std::string reread;
        for (const pdf::Object& value : fixture::ParseAll(input)) {
            written += (written.empty() ? "" : " | ") + pdf::ValueText(value);
            reread += (reread.empty() ? "" : " | ") + ParsedValues(pdf::ValueText(value));
        }
        EXPECT_EQ(written, expected) << input;
        EXPECT_EQ(reread, ParsedValues(input)) << input;
    }
}

// What an object's text refers to: every "N G R" up to its stream data or
// its end, and nothing in strings, names or comments.
TEST(SyntaxTest, ReferencesOfObjectText) {
    const std::pair<std::string, std::string> cases[] = {
        {"12 0 obj << /A 3 0 R /B [4 0 R 5 1 R] >> endobj 6 0 R", "3 4 5"},
        {"<< /S (7 0 R) /N /8#200#20R % 9 0 R\n >>", ""},
        {"<< /Length 10 0 R >>\nstream\n11 0 R\nendstream", "10"},
        {"1 2 3 R -4 0 R 4294967296 0 R 4294967295 0 R 5 0.0 R 0 0 R", "2 4294967295 0"},
    };
    for (const auto& [text, expected] : cases) {
        std::string found;
        pdf::ForEachReference(text, [&found](uint32_t number) {
            found += (found.empty() ? "" : " ") + std::to_string(number);
        });
        EXPECT_EQ(found, expected) << text;
    }
}

TEST(SyntaxTest, NestingIsBoundedWithoutRecursionLimitsBeingHit) {
    EXPECT_EQ(Describe(fixture::ParseAll(std::string(1000000, '['))[0]).substr(0, 3), "[[[");
    const int deep = pdf::Parser::kMaxNesting + 10;
    std::string text =
        Describe(fixture::ParseAll(std::string(deep, '[') + std::string(deep, ']'))[0]);
    EXPECT_EQ(text.find("error"), static_cast<size_t>(pdf::Parser::kMaxNesting));
    std::string dicts;
    for (int i = 0; i < deep; ++i) dicts += "<< /K ";
    text = Describe(fixture::ParseAll(dicts)[0]);
    EXPECT_EQ(text.find("error"), 5 * static_cast<size_t>(pdf::Parser::kMaxNesting));
}

std::string Hex(const std::string& bytes) {
    std::string hex;
    char digits[3];
    for (unsigned char c : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", c);
        hex += digits;
    }
    return hex;
}

// One stream object with its data; the decoded bytes in hexadecimal, or "error".
std::string Decode(const std::string& entries, const std::string& data) {
    const std::string file = "<< /Length " + std::to_string(data.size()) + " " + entries +
                             " >>\nstream\n" + data + "\nendstream\n";
    const pdf::Object object = fixture::ParseAll(file).at(0);
    if (!object.isStream()) return Describe(object);
    const pdf::Resolve same = [](const pdf::Object& value) { return value; };
    const std::optional<std::string> bytes = pdf::DecodeStreamData(
        file.substr(static_cast<size_t>(object.stream()->dataOffset), data.size()),
        object.stream()->dictionary, same);
    return bytes ? Hex(*bytes) : "error";
}

std::string Bytes(std::initializer_list<int> values) {
    return std::string(values.begin(), values.end());
}

TEST(SyntaxTest, StreamsDecodeFlateAndPredictors) {
    using fixture::Deflate;
    const std::string text = "The quick brown fox jumps over the lazy dog.";
    std::string textHex;
    for (unsigned char c : text) textHex += Decode("", std::string(1, static_cast<char>(c)));
    const std::string rows =
        Bytes({0, 10, 20, 1, 5, 5, 2, 1, 1, 3, 4, 4, 4, 1, 1, 7, 9, 9, 0, 10, 6, 4, 2, 0});
    const std::string up = Bytes({2, 1, 2, 3, 4, 5, 2, 1, 1, 1, 1, 1, 2, 9});
    const std::string png12 = "/Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns 5 >>";
    const std::pair<std::pair<std::string, std::string>, std::string> cases[] = {
        {{"/Filter /FlateDecode", Deflate(text)}, textHex},
        {{"/Filter /Fl", Deflate(text)}, textHex},
        {{"/Filter [/FlateDecode]", Deflate(text)}, textHex},
        {{"", "raw"}, "726177"},
        {{"/Filter /DCTDecode", "x"}, "error"},
        // Other filters, alone and chained, and the limits of their data.
        {{"/Filter /AHx", "48 65 6c6C6\n>zz"}, "48656C6C60"},
        {{"/Filter /AHx", "410>"}, "4100"},
        {{"/Filter [/ASCIIHexDecode /FlateDecode]", Hex(Deflate(text)) + ">"}, textHex},
        {{"/Filter /ASCII85Decode", "87cURD]i,\"Ebo80z~>"}, "48656C6C6F20576F726C642100000000"},
        {{"/Filter /A85", "87cUR!!!!!~>"}, "48656C6C00000000"},
        {{"/Filter /A85", "8~>"}, "error"},
        {{"/Filter /A85", "87cURDZ~>"}, "48656C6C6F"},  // a last group of one byte
        {{"/Filter /RL", Bytes({2, 'a', 0, 'c', 254, 'x', 128, 'q'})}, "610063787878"},
        {{"/Filter /RL", Bytes({2, 'a', 'b', 'c', 255})}, "616263"},  // a run without its byte
        {{"/Filter /LZWDecode", Bytes({0x80, 0x0B, 0x60, 0x50, 0x22, 0x0C, 0x0C, 0x85, 0x01})},
         "2D2D2D2D2D412D2D2D42"},
        {{"/Filter /LZW /DecodeParms << /EarlyChange 0 >>",
          Bytes({0x80, 0x0B, 0x60, 0x50, 0x22, 0x0C, 0x0C, 0x85, 0x01})},
         "2D2D2D2D2D412D2D2D42"},
        // Eight codes fill nine bytes exactly, without an end code: the last counts.
        {{"/Filter /LZW", Bytes({0x20, 0x90, 0x88, 0x64, 0x42, 0x29, 0x18, 0x8E, 0x48})},
         "4142434445464748"},
        {{"/Filter /LZW", Bytes({0x20, 0xCB, 0x00})}, "error"},  // a code past the table
        {{"/Filter [/AHx /DCTDecode]", "41>"}, "error"},
        // A chain whose predictor is refused gives nothing, whatever it decoded before.
        {{"/Filter [/AHx /FlateDecode] /DecodeParms [null << /Predictor 12 /Columns 0 >>]",
          Hex(Deflate(text)) + ">"},
         "error"},
        {{"/Filter 7", "x"}, "error"},
        // PNG rows of each type: None, Sub, Up, Average, Paeth, unknown.
        {{"/Filter /FlateDecode /DecodeParms << /Predictor 15 /Columns 2 >>", Deflate(rows)},
         "0A14050A060B070D080E09090A060C06"},
        // Rows of 1 + 5 bytes give 5; a cut-off last row is dropped.
        {{png12, Deflate(up)}, "01020304050203040506"},
        {{"/Filter [/FlateDecode] /DecodeParms [<< /Predictor 12 /Columns 5 >>]", Deflate(up)},
         "01020304050203040506"},
        {{"/Filter /FlateDecode /DecodeParms << /Predictor 12 /Columns 0 >>", Deflate(up)},
         "error"},
        // TIFF: each sample adds the same colour one pixel to the left.
        {{"/Filter /FlateDecode /DecodeParms << /Predictor 2 /Columns 3 /Colors 2 >>",
          Deflate(Bytes({1, 2, 1, 1, 1, 1}))},
         "010202030304"},
        {{"/Filter /FlateDecode /DecodeParms << /Predictor 2 /Columns 4 /BitsPerComponent 1 >>",
          Deflate(Bytes({0x90}))},
         "E0"},
        {{"/Filter /FlateDecode /DecodeParms << /Predictor 2 /Columns 4 /BitsPerComponent 4 >>",
          Deflate(Bytes({0xF1, 0x11}))},
         "F012"},
        {{"/Filter /FlateDecode /DecodeParms << /Predictor 2 /Columns 2 /BitsPerComponent 16 >>",
          Deflate(Bytes({0x00, 0x01, 0xFF, 0xFF, 0x12, 0x34, 0x00, 0x01}))},
         "0001000012341235"},
        // Each row on its own: nothing of one row adds into the next.
        {{"/Filter /FlateDecode /DecodeParms << /Predictor 2 /Columns 3 >>",
          Deflate(Bytes({1, 1, 1, 5, 5, 5}))},
         "010203050A0F"},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(Decode(input.first, input.second), expected) << input.first;
    }
    // Inflate holds output back after the last input byte; none of it may be lost.
    std::string zeros(1 << 20, '\0');
    EXPECT_EQ(Decode("/Filter /FlateDecode", Deflate(zeros + "end")).size(), 2 * zeros.size() + 6);
    // Damaged data ends quietly where inflate gives up.
    std::string damaged = Deflate(text + text);
    damaged.resize(damaged.size() / 2);
    std::string partial = Decode("/Filter /FlateDecode", damaged);
    EXPECT_EQ(textHex.substr(0, partial.size()), partial);
    // Data of many pieces decodes whole, and cut off halfway, as far as it goes.
    std::string varied;
    for (uint32_t i = 0; varied.size() < 300000; ++i)
        varied += std::to_string(i * 2654435761u) + " ";
    EXPECT_EQ(Decode("/Filter /FlateDecode", Deflate(varied)), Hex(varied));
    std::string cut = Deflate(varied);
    cut.resize(cut.size() / 2);
    const std::string half = Decode("/Filter /FlateDecode", cut);
    EXPECT_GT(half.size(), 2u * 100000);
    EXPECT_EQ(Hex(varied).substr(0, half.size()), half);
}

}  // namespace
