#include "structure/link.h"

#include <gtest/gtest.h>

#include "describe.h"
#include "support/byte_source.h"

namespace {

using fixture::ParseOne;
using structure_test::Describe;

std::string Read(const std::string& text) {
    CPdfElement array = ParseOne(text);
    if (!array.isArray()) return "not an array";
    LinkDestination dest(*array.getArray());
    return dest.isOk() ? Describe(dest, true) : "bad";
}

std::string Action(const std::string& text) {
    return Describe(makeAction(ParseOne(text)).get());
}

TEST(LinkDestinationTest, ReadsEveryKind) {
    EXPECT_EQ(Read("[3 0 R /XYZ null null null]"), "XYZ 3.0R 0 0 0 0 0");
    EXPECT_EQ(Read("[4 /XYZ 10 700 1.5]"), "XYZ #5 10 0 0 700 1.5");
    EXPECT_EQ(Read("[3 0 R /XYZ 72]"), "XYZ 3.0R 72 0 0 0 0");
    EXPECT_EQ(Read("[0 /Fit]"), "Fit #1 0 0 0 0 0");
    EXPECT_EQ(Read("[7 2 R /Fit 1 2 (ignored)]"), "Fit 7.2R 0 0 0 0 0");
    EXPECT_EQ(Read("[3 0 R /FitH null]"), "FitH 3.0R 0 0 0 0 0");
    EXPECT_EQ(Read("[3 0 R /FitH 700.5]"), "FitH 3.0R 0 0 0 700.5 0");
    EXPECT_EQ(Read("[3 0 R /FitV 36]"), "FitV 3.0R 36 0 0 0 0");
    EXPECT_EQ(Read("[3 0 R /FitR 1 2 612 792]"), "FitR 3.0R 1 2 612 792 0");
    EXPECT_EQ(Read("[3 0 R /FitB]"), "FitB 3.0R 0 0 0 0 0");
    EXPECT_EQ(Read("[3 0 R /FitBH 5]"), "FitBH 3.0R 0 0 0 5 0");
    EXPECT_EQ(Read("[3 0 R /FitBV null]"), "FitBV 3.0R 0 0 0 0 0");
    // The largest page index must not overflow; only that it reads is checked.
    EXPECT_NE(Read("[2147483647 /Fit]"), "bad");
}

TEST(LinkDestinationTest, RejectsIncompleteOrIllTypedArrays) {
    for (const char* text :
         {"[]", "[3 0 R]", "[3 0 R /FitH]", "[3 0 R /FitBV]", "[3 0 R /FitR 0 0 612]",
          "[3 0 R /FitR 0 null 612 792]", "[3 0 R /fit]", "[3 0 R /Fitx]", "[3 0 R (Fit)]",
          "[(p) /Fit]", "[2.0 /Fit]", "[/Fit 3 0 R]", "[3 0 R /XYZ (x)]", "[3 0 R /XYZ 1 2 /z]",
          "[3 0 R /FitV true]", "[3 0 R /FitBH (5)]"}) {
        EXPECT_EQ(Read(text), "bad") << text;
    }
}

TEST(LinkActionTest, GoToAndGoToRTakeDestinationsAndFileSpecs) {
    EXPECT_EQ(Action("<< /S /GoTo /D (chapter1) >>"), "GoTo 'chapter1'");
    EXPECT_EQ(Action("<< /S /GoTo /D /byName >>"), "GoTo 'byName'");
    EXPECT_EQ(Action("<< /S /GoTo /D <610062> >>"), std::string("GoTo 'a\0b'", 10));
    EXPECT_EQ(Action("<< /Type /Foo /S /GoTo /D [3 0 R /FitH 9] >>"), "GoTo [FitH 3.0R]");
    EXPECT_EQ(
        Action("<< /S /GoToR /F << /F (a.pdf) /Unix (b.pdf) >> /D [0 /Fit] /NewWindow true >>"),
        "GoToR b.pdf [Fit #1] new");
    EXPECT_EQ(Action("<< /S /GoToR /F << /F (a.pdf) /Unix /b >> /D (n) /NewWindow 1 >>"),
              "GoToR a.pdf 'n'");
    EXPECT_EQ(Action("<< /S /GoToR /F (dir\\\\a.pdf) /D (n) >>"), "GoToR dir\\a.pdf 'n'");
    for (const char* text :
         {"<< /S /GoTo >>", "<< /S /GoTo /D 5 >>", "<< /S /GoTo /D [3 0 R /fit] >>",
          "<< /S /GoToR /D [0 /Fit] >>", "<< /S /GoToR /F (x.pdf) >>",
          "<< /S /GoToR /F << /DOS (x.pdf) >> /D (n) >>", "<< /S /GoToR /F /x.pdf /D (n) >>",
          "<< /S /GoToR /F (x.pdf) /D [0] >>"}) {
        EXPECT_EQ(Action(text), "null") << text;
    }

    auto goTo = [](const std::string& text) { return Describe(makeGoTo(ParseOne(text)).get()); };
    EXPECT_EQ(goTo("[3 0 R /FitV 4]"), "GoTo [FitV 3.0R]");
    EXPECT_EQ(goTo("(n)"), "GoTo 'n'");
    for (const char* text : {"5", "[3 0 R]", "<< /D [3 0 R /Fit] >>"}) {
        EXPECT_EQ(goTo(text), "null") << text;
    }
}

TEST(LinkActionTest, OtherActionTypes) {
    EXPECT_EQ(Action("<< /S /Launch /F (run.sh) /Win << /F (run.exe) /P (-x) >> >>"),
              "Launch run.sh ''");
    EXPECT_EQ(Action("<< /S /Launch /Win << /F (run.exe) /P (-x) >> >>"), "Launch run.exe '-x'");
    EXPECT_EQ(Action("<< /S /Launch /Win << /F << /Unix (r) >> /P /x >> >>"), "Launch r ''");
    EXPECT_EQ(Action("<< /S /URI /URI (http://h/a b\\\\c) >>"), "URI http://h/a b\\c");
    EXPECT_EQ(Action("<< /S /Named /N /NextPage >>"), "Named NextPage");
    EXPECT_EQ(Action("<< /S /Movie /Annot 12 0 R /T (film) >>"), "Movie 12.0 ''");
    EXPECT_EQ(Action("<< /S /Movie /Annot << /T (x) >> /T (film) >>"), "Movie -1.0 'film'");
    EXPECT_EQ(Action("<< /S /SubmitForm /F (x) >>"), "Unknown SubmitForm");
    EXPECT_EQ(Action("<< /S /uri /URI (x) >>"), "Unknown uri");  // names compare exactly
    for (const char* text :
         {"[/S /URI /URI (x)]", "<< /URI (x) >>", "<< /S (URI) /URI (x) >>",
          "<< /S /URI /URI /x >>", "<< /S /URI >>", "<< /S /Named /N (NextPage) >>",
          "<< /S /Launch >>", "<< /S /Launch /F 5 /Win << /F (run.exe) >> >>",
          "<< /S /Movie /Annot << /T (x) >> >>", "<< /S /Movie /Annot 5 >>"}) {
        EXPECT_EQ(Action(text), "null") << text;
    }
}

}  // namespace
