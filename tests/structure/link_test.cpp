#include "structure/link.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "support/harness.h"

namespace {

using fixture::ParseOne;

// "<kind> <page>" with the page as "3.0R" or "#5" (a page index from 0, held from 1),
// then "left bottom right top zoom".
std::string Describe(const LinkDestination& dest) {
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, " %g %g %g %g %g", dest.left, dest.bottom, dest.right,
                  dest.top, dest.zoom);
    return std::string(kDestKindNames[dest.kind]) + " " +
           (dest.pageIsRef ? std::to_string(dest.pageRef.number) + "." +
                                 std::to_string(dest.pageRef.generation) + "R"
                           : "#" + std::to_string(dest.pageNumber)) +
           numbers;
}

// One line per action with every field it carries; getKind must agree with the class.
std::string Describe(const LinkAction* action) {
    if (action == nullptr) return "null";
    auto tag = [action](int32_t kind, const std::string& name) {
        return action->getKind() == kind ? name : name + "(kind " + std::to_string(kind) + ")";
    };
    auto target = [](const std::unique_ptr<LinkDestination>& dest, const std::string& named) {
        return dest ? "[" + Describe(*dest) + "]" : "'" + named + "'";
    };
    if (auto* goTo = dynamic_cast<const LinkGoTo*>(action)) {
        return tag(actionGoTo, "GoTo ") + target(goTo->dest, goTo->namedDest);
    }
    if (auto* remote = dynamic_cast<const LinkGoToR*>(action)) {
        return tag(actionGoToR, "GoToR ") + remote->fileName + " " +
               target(remote->dest, remote->namedDest) + (remote->newWindow ? " new" : "");
    }
    if (auto* launch = dynamic_cast<const LinkLaunch*>(action)) {
        return tag(actionLaunch, "Launch ") + launch->fileName + " '" + launch->params + "'";
    }
    if (auto* uri = dynamic_cast<const LinkURI*>(action)) return tag(actionURI, "URI ") + uri->uri;
    if (auto* named = dynamic_cast<const LinkNamed*>(action)) {
        return tag(actionNamed, "Named ") + named->name;
    }
    if (auto* movie = dynamic_cast<const LinkMovie*>(action)) {
        return tag(actionMovie, "Movie ") + std::to_string(movie->annotRef.number) + " '" +
               movie->title + "'";
    }
    if (auto* unknown = dynamic_cast<const LinkUnknown*>(action)) {
        return tag(actionUnknown, "Unknown ") + unknown->action;
    }
    return "unexpected class";
}

struct Case {
    const char* text;
    const char* expected;
};

TEST(LinkTest, DestinationArrays) {
    const Case cases[] = {
        {"[3 0 R /XYZ null null null]", "XYZ 3.0R 0 0 0 0 0"},
        {"[4 /XYZ 10 700 1.5]", "XYZ #5 10 0 0 700 1.5"},
        {"[3 0 R /XYZ 72]", "XYZ 3.0R 72 0 0 0 0"},
        {"[7 2 R /Fit 1 2 (ignored)]", "Fit 7.2R 0 0 0 0 0"},
        {"[3 0 R /FitH null]", "FitH 3.0R 0 0 0 0 0"},
        {"[3 0 R /FitH 700.5]", "FitH 3.0R 0 0 0 700.5 0"},
        {"[3 0 R /FitV 36]", "FitV 3.0R 36 0 0 0 0"},
        {"[3 0 R /FitR 1 2 612 792]", "FitR 3.0R 1 2 612 792 0"},
        {"[3 0 R /FitB]", "FitB 3.0R 0 0 0 0 0"},
        {"[3 0 R /FitBH 5]", "FitBH 3.0R 0 0 0 5 0"},
        {"[3 0 R /FitBV null]", "FitBV 3.0R 0 0 0 0 0"},
        {"[2147483647 /Fit]", "Fit #2147483647 0 0 0 0 0"},
    };
    for (const Case& c : cases) {
        LinkDestination dest(*ParseOne(c.text).getArray());
        EXPECT_EQ(dest.isOk() ? Describe(dest) : "bad", c.expected) << c.text;
    }
    for (const char* text :
         {"[]", "[3 0 R]", "[3 0 R /FitH]", "[3 0 R /FitBV]", "[3 0 R /FitR 0 0 612]",
          "[3 0 R /FitR 0 null 612 792]", "[3 0 R /fit]", "[3 0 R (Fit)]", "[(p) /Fit]",
          "[2.0 /Fit]", "[3 0 R /XYZ (x)]", "[3 0 R /XYZ 1 2 /z]", "[3 0 R /FitV true]"}) {
        EXPECT_FALSE(LinkDestination(*ParseOne(text).getArray()).isOk()) << text;
    }
}

TEST(LinkTest, ActionsOfEveryKind) {
    const Case cases[] = {
        {"<< /S /GoTo /D (chapter1) >>", "GoTo 'chapter1'"},
        {"<< /S /GoTo /D /byName >>", "GoTo 'byName'"},
        {"<< /Type /Foo /S /GoTo /D [3 0 R /FitH 9] >>", "GoTo [FitH 3.0R 0 0 0 9 0]"},
        {"<< /S /GoToR /F << /F (a.pdf) /Unix (b.pdf) >> /D [0 /Fit] /NewWindow true >>",
         "GoToR b.pdf [Fit #1 0 0 0 0 0] new"},
        {"<< /S /GoToR /F << /F (a.pdf) /Unix /b >> /D (n) /NewWindow 1 >>", "GoToR a.pdf 'n'"},
        {"<< /S /GoToR /F (dir\\\\a.pdf) /D (n) >>", "GoToR dir\\a.pdf 'n'"},
        {"<< /S /Launch /F (run.sh) /Win << /F (run.exe) /P (-x) >> >>", "Launch run.sh ''"},
        {"<< /S /Launch /Win << /F (run.exe) /P (-x) >> >>", "Launch run.exe '-x'"},
        {"<< /S /Launch /Win << /F << /Unix (r) >> /P /x >> >>", "Launch r ''"},
        {"<< /S /URI /URI (http://h/a b\\\\c) >>", "URI http://h/a b\\c"},
        {"<< /S /Named /N /NextPage >>", "Named NextPage"},
        {"<< /S /Movie /Annot 12 0 R /T (film) >>", "Movie 12 ''"},
        {"<< /S /Movie /Annot << /T (x) >> /T (film) >>", "Movie -1 'film'"},
        {"<< /S /SubmitForm /F (x) >>", "Unknown SubmitForm"},
        {"<< /S /uri /URI (x) >>", "Unknown uri"},
    };
    for (const Case& c : cases) EXPECT_EQ(Describe(makeAction(ParseOne(c.text)).get()), c.expected);
    for (const char* text :
         {"<< /S /GoTo >>", "<< /S /GoTo /D 5 >>", "<< /S /GoTo /D [3 0 R /fit] >>",
          "<< /S /GoToR /D [0 /Fit] >>", "<< /S /GoToR /F (x.pdf) >>",
          "<< /S /GoToR /F << /DOS (x.pdf) >> /D (n) >>", "<< /S /GoToR /F (x.pdf) /D [0] >>",
          "[/S /URI /URI (x)]", "<< /URI (x) >>", "<< /S (URI) /URI (x) >>",
          "<< /S /URI /URI /x >>", "<< /S /Named /N (NextPage) >>", "<< /S /Launch >>",
          "<< /S /Launch /F 5 /Win << /F (run.exe) >> >>", "<< /S /Movie /Annot 5 >>"}) {
        EXPECT_EQ(Describe(makeAction(ParseOne(text)).get()), "null") << text;
    }
    EXPECT_EQ(Describe(makeGoTo(ParseOne("(n)")).get()), "GoTo 'n'");
    EXPECT_EQ(Describe(makeGoTo(ParseOne("<< /D [3 0 R /Fit] >>")).get()), "null");
}

}  // namespace
