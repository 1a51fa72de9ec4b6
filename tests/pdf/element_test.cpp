#include <gtest/gtest.h>

#include "pdf/element.h"
#include "pdf/stream.h"

namespace {

TEST(ElementTest, ScalarsAndTextsAreCopiedAndFreed) {
    CPdfElement text;
    text.initString(std::string("a\0b", 3));
    CPdfElement copy;
    text.copy(copy);
    EXPECT_EQ(copy.getKind(), pdfString);
    EXPECT_EQ(copy.getText(), std::string("a\0b", 3));  // strings keep zero bytes

    CPdfElement name;
    name.initName(std::string("Na\0me", 5));
    EXPECT_EQ(name.getText(), "Na");  // names end at their first zero byte

    copy.free();
    EXPECT_EQ(copy.getKind(), pdfNone);
    EXPECT_EQ(text.getText(), std::string("a\0b", 3));

    CPdfElement ref;
    ref.initRef(7, 2);
    CPdfElement refCopy(ref);
    EXPECT_EQ(refCopy.getRefNum(), 7);
    EXPECT_EQ(refCopy.getRefGen(), 2);
    EXPECT_TRUE(refCopy.isRef());
}

TEST(ElementTest, KindNumbersAreFixed) {
    EXPECT_EQ(pdfBool, 0u);
    EXPECT_EQ(pdfInt, 1u);
    EXPECT_EQ(pdfReal, 2u);
    EXPECT_EQ(pdfString, 3u);
    EXPECT_EQ(pdfName, 4u);
    EXPECT_EQ(pdfNull, 5u);
    EXPECT_EQ(pdfArray, 6u);
    EXPECT_EQ(pdfDict, 7u);
    EXPECT_EQ(pdfStream, 8u);
    EXPECT_EQ(pdfRef, 9u);
    EXPECT_EQ(pdfCmd, 10u);
    EXPECT_EQ(pdfError, 11u);
    EXPECT_EQ(pdfEOF, 12u);
    EXPECT_EQ(pdfNone, 13u);
}

}  // namespace
