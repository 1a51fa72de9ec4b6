#include "pdf/parser.h"

#include <gtest/gtest.h>

#include "app/exception.h"
#include "support/byte_source.h"

namespace {

using fixture::ParseAll;
using fixture::ParseOne;

std::string Text(const CPdfElement& element) {
    return element.getText();
}

TEST(TokeniserTest, LiteralStringsKeepEveryByteAndUndoEscapes) {
    EXPECT_EQ(Text(ParseOne("(a\\061b)")), "a1b");
    EXPECT_EQ(Text(ParseOne("(x\\\ny)")), "xy");    // line continuation
    EXPECT_EQ(Text(ParseOne("(x\\\r\ny)")), "xy");  // CR LF continuation
    EXPECT_EQ(Text(ParseOne("(a(b)c)")), "a(b)c");  // balanced parentheses
    EXPECT_EQ(Text(ParseOne("(\\(\\)\\\\)")), "()\\");
    EXPECT_EQ(Text(ParseOne("(\\b\\f\\n\\r\\t\\q)")), "\b\f\n\r\tq");
    EXPECT_EQ(Text(ParseOne("(\\1234)")), "S4");  // at most three octal digits
    // Zero bytes stay: raw, "\0", "\000" and the octal 400 all give one.
    EXPECT_EQ(Text(ParseOne(std::string("(a\0b)", 5))), std::string("a\0b", 3));
    EXPECT_EQ(Text(ParseOne("(a\\0b)")), std::string("a\0b", 3));
    EXPECT_EQ(Text(ParseOne("(a\\000b)")), std::string("a\0b", 3));
    EXPECT_EQ(Text(ParseOne("(a\\400b)")), std::string("a\0b", 3));
    EXPECT_EQ(Text(ParseOne("(unfinished")), "unfinished");
}

TEST(TokeniserTest, HexStringsPairDigitsAndKeepZeroBytes) {
    EXPECT_EQ(Text(ParseOne("<41 42 4>")), "AB@");
    EXPECT_EQ(Text(ParseOne("<4142")), "AB");
    EXPECT_EQ(Text(ParseOne("<410042>")), std::string("A\0B", 3));
    EXPECT_EQ(Text(ParseOne("<FEFF00470072>")), std::string("\xFE\xFF\x00G\x00r", 6));
    EXPECT_EQ(Text(ParseOne("<4G>")), "@");  // a non-hexadecimal digit counts as 0
}

TEST(TokeniserTest, NamesDecodeNumberSigns) {
    EXPECT_EQ(Text(ParseOne("/A#42")), "AB");
    EXPECT_EQ(Text(ParseOne("/A#4 /B")), "A@");  // the blank after one digit is consumed
    EXPECT_EQ(Text(ParseOne("/A#xy")), "A#xy");
    EXPECT_EQ(Text(ParseOne("/A#00B")), "A");  // names end at a decoded zero byte
    std::vector<CPdfElement> objects = ParseAll("/Type/Page");
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_TRUE(objects[1].isName("Page"));
}

TEST(TokeniserTest, NumbersAndKeywords) {
    std::vector<CPdfElement> objects =
        ParseAll("+5 - .5 3. 1.2.3 -17 99999999999 true false endobj");
    ASSERT_EQ(objects.size(), 10u);
    EXPECT_TRUE(objects[0].isCmd("+5"));
    EXPECT_TRUE(objects[1].isInt());
    EXPECT_EQ(objects[1].getInt(), 0);
    EXPECT_DOUBLE_EQ(objects[2].getReal(), 0.5);
    EXPECT_DOUBLE_EQ(objects[3].getReal(), 3.0);
    EXPECT_DOUBLE_EQ(objects[4].getReal(), 1.2);
    EXPECT_EQ(objects[5].getInt(), -17);
    EXPECT_EQ(objects[6].getInt(), 2147483647);  // saturates
    EXPECT_TRUE(objects[7].isBool() && objects[7].getBool());
    EXPECT_TRUE(objects[8].isBool() && !objects[8].getBool());
    EXPECT_TRUE(ParseAll("null")[0].isNull());
    EXPECT_TRUE(objects[9].isCmd("endobj"));
    // Comments run to the end of the line; stray closers are errors.
    std::vector<CPdfElement> rest = ParseAll("% comment (x\n42 ) } >");
    ASSERT_EQ(rest.size(), 4u);
    EXPECT_EQ(rest[0].getInt(), 42);
    EXPECT_TRUE(rest[1].isError() && rest[2].isError() && rest[3].isError());
}

TEST(ParserTest, DictionariesArraysAndReferences) {
    CPdfElement dict = ParseOne("<< /A 1 /B 2 0 R /D [1 2 0 R] /A 9 5 /K (v) >>");
    ASSERT_TRUE(dict.isDict());
    CPdfElement value;
    dict.getDict()->lookupNF("A", value);
    EXPECT_EQ(value.getInt(), 1);  // the first of two keys wins
    dict.getDict()->lookupNF("B", value);
    EXPECT_TRUE(value.isRef());
    EXPECT_EQ(value.getRefNum(), 2);
    dict.getDict()->lookup("B", value);  // no table: the reference stays
    EXPECT_TRUE(value.isRef());
    dict.getDict()->lookupNF("D", value);
    ASSERT_TRUE(value.isArray());
    ASSERT_EQ(value.getArray()->getLength(), 2);
    CPdfElement item;
    value.getArray()->getNF(1, item);
    EXPECT_TRUE(item.isRef());
    // A stray number between entries is skipped; the key after it is kept.
    dict.getDict()->lookupNF("K", value);
    EXPECT_EQ(value.getText(), "v");

    CPdfElement array = ParseOne("[1 R]");
    ASSERT_EQ(array.getArray()->getLength(), 2);
    array.getArray()->getNF(1, item);
    EXPECT_TRUE(item.isCmd("R"));
}

TEST(ParserTest, UnfinishedAndDeeplyNestedContainersEnd) {
    CPdfElement partial = ParseOne("[1 2 << /A 3");
    ASSERT_TRUE(partial.isArray());
    EXPECT_EQ(partial.getArray()->getLength(), 3);

    // A million "[" neither recurses without bound nor hangs.
    CPdfElement deep = ParseOne(std::string(1000000, '['));
    EXPECT_TRUE(deep.isArray());
    CPdfElement nested = ParseOne(std::string(CPdfParser::kMaxNesting + 10, '[') +
                                  std::string(CPdfParser::kMaxNesting + 10, ']'));
    const CPdfElement* level = &nested;
    CPdfElement holder;
    int depth = 0;
    while (level->isArray() && level->getArray()->getLength() > 0) {
        level->getArray()->getNF(0, holder);
        level = &holder;
        ++depth;
        if (holder.isError()) break;
    }
    EXPECT_TRUE(holder.isError());
    EXPECT_LE(depth, CPdfParser::kMaxNesting + 1);
}

TEST(ParserTest, StreamsNeedIntegerLengthAndEndstream) {
    {
        fixture::ByteFile file("<< /Length 5 >> stream\r\nhello\nendstream endobj");
        CPdfParser parser(nullptr, file.stream());
        CPdfElement object;
        parser.getObj(object);
        ASSERT_TRUE(object.isStream());
        object.getStream()->reset();
        EXPECT_EQ(fixture::ReadAll(*object.getStream()), "hello");
        CPdfElement next;
        parser.getObj(next);
        EXPECT_TRUE(next.isCmd("endobj"));
    }
    {
        fixture::ByteFile file("<< /Length 5 >> stream\nhello\nendobj");
        CPdfParser parser(nullptr, file.stream());
        CPdfElement object;
        try {
            parser.getObj(object);
            FAIL() << "a stream without endstream was accepted";
        } catch (const CPdfException& failure) {
            EXPECT_STREQ(failure.GetMessage(), "Missing 'endstream'\n");
        }
    }
    EXPECT_TRUE(ParseOne("<< /Length (5) >> stream\nhello\nendstream").isError());
    EXPECT_TRUE(ParseOne("<< /Length 5 /Filter /DCTDecode >> stream\nhello\nendstream").isError());
}

}  // namespace
