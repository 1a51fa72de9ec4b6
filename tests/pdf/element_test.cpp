#include "pdf/element.h"

#include <gtest/gtest.h>

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

}  // namespace

namespace {

TEST(ElementTest, ContainersAreSharedByCount) {
    CPdfElement first;
    first.initDict(static_cast<CPdfXRef*>(nullptr));
    CPdfDictionary* dict = first.getDict();
    EXPECT_EQ(dict->getRefCount(), 1u);
    {
        CPdfElement second;
        first.copy(second);
        EXPECT_EQ(second.getDict(), dict);
        EXPECT_EQ(dict->getRefCount(), 2u);
        std::vector<CPdfElement> held(3, second);  // copies share as well
        EXPECT_EQ(dict->getRefCount(), 5u);
        second.free();
        EXPECT_TRUE(second.isNone());
        EXPECT_EQ(dict->getRefCount(), 4u);
    }
    EXPECT_EQ(dict->getRefCount(), 1u);

    // A dictionary inside an array inside a dictionary lives until the
    // outermost holder lets go.
    CPdfElement inner;
    inner.initDict(static_cast<CPdfXRef*>(nullptr));
    CPdfElement array;
    array.initArray(nullptr);
    array.getArray()->add(inner);
    first.getDict()->add("Kids", array);
    inner.free();
    array.free();
    CPdfElement kids, kid;
    first.getDict()->lookup("Kids", kids);
    kids.getArray()->get(0, kid);
    EXPECT_TRUE(kid.isDict());
    EXPECT_EQ(kid.getDict()->getRefCount(), 2u);

    CPdfElement moved(std::move(kid));
    EXPECT_TRUE(kid.isNone());
    EXPECT_EQ(moved.getDict()->getRefCount(), 2u);
}

TEST(ElementTest, DictionaryOrdersKeysByteWiseAndKeepsTheFirst) {
    CPdfElement element;
    element.initDict(static_cast<CPdfXRef*>(nullptr));
    CPdfDictionary& dict = *element.getDict();
    CPdfElement one, two;
    one.initInt(1);
    two.initInt(2);
    for (const char* key : {"b", "\xE9", "a", "ab", "B"}) dict.add(key, one);
    dict.add("a", two);
    std::vector<std::string> keys;
    for (const auto& entry : dict.getEntries()) keys.push_back(entry.first);
    EXPECT_EQ(keys, (std::vector<std::string>{"B", "a", "ab", "b", "\xE9"}));
    CPdfElement value;
    dict.lookup("a", value);
    EXPECT_EQ(value.getInt(), 1);
    dict.lookup("missing", value);
    EXPECT_TRUE(value.isNull());
}

TEST(ElementTest, TypeTestAndFetchWithoutTable) {
    CPdfElement element;
    element.initDict(static_cast<CPdfXRef*>(nullptr));
    CPdfElement name, ref;
    name.initName("Page");
    ref.initRef(7, 0);
    element.getDict()->add("Type", name);
    element.getDict()->add("Parent", ref);
    EXPECT_TRUE(element.getDict()->is("Page"));
    EXPECT_FALSE(element.getDict()->is("Pages"));

    // Without a table a reference resolves to itself.
    CPdfElement fetched;
    element.getDict()->lookup("Parent", fetched);
    EXPECT_TRUE(fetched.isRef());
    EXPECT_EQ(fetched.getRefNum(), 7);
    ref.fetch(nullptr, fetched);
    EXPECT_EQ(fetched.getRefNum(), 7);

    // A Type stored as a reference is not a name, whatever it points at.
    CPdfElement other;
    other.initDict(static_cast<CPdfXRef*>(nullptr));
    other.getDict()->add("Type", ref);
    EXPECT_FALSE(other.getDict()->is("Page"));
}

}  // namespace
