#include "pdf/lexer.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

// Every token of a text as "kind:text", cut-off tokens marked with "…".
std::string Tokens(std::string_view text) {
    static const char* const kKinds[] = {"end", "int", "real", "str", "hex", "name",
                                         "kw",  "[",   "]",    "<<",  ">>",  "error"};
    pdf::Lexer lexer(text);
    std::string out;
    for (pdf::Token token = lexer.next(); !token.is(pdf::TokenKind::End); token = lexer.next()) {
        out += std::string(out.empty() ? "" : " ") + kKinds[static_cast<int>(token.kind)] + ":" +
               std::string(lexer.text(token)) + (token.cutOff ? "…" : "");
    }
    return out;
}

TEST(LexerTest, TokensAndTheirSpans) {
    const std::pair<std::string, std::string> cases[] = {
        {"1 0 obj<</K[1 -2.5 +.5 4.]>>endobj",
         "int:1 int:0 kw:obj <<:<< name:/K [:[ int:1 real:-2.5 real:+.5 real:4. ]:] >>:>> "
         "kw:endobj…"},
        {"(a (b) \\) c)(x)<41 42>% comment (\n/N#20a true null R",
         "str:(a (b) \\) c) str:(x) hex:<41 42> name:/N#20a kw:true kw:null kw:R…"},
        {") } { > >>", "error:) error:} error:{ error:> >>:>>"},
        {"12abc /Name/Other ", "int:12 kw:abc name:/Name name:/Other"},
        {"(unended \\)", "str:(unended \\)…"},
        {"<4142", "hex:<4142…"},
        {"endst", "kw:endst…"},
        {"\r\n\t\f\0%x\r"s, ""},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(Tokens(text), expected) << text;
    // Text cut short of the bytes it lies in: nothing past the cut is read.
    const std::pair<std::string_view, std::string> cut[] = {
        {std::string_view("(abc)").substr(0, 4), "str:(abc…"},
        {std::string_view("<<").substr(0, 1), "hex:<…"},
        {std::string_view("123").substr(0, 2), "int:12…"},
    };
    for (const auto& [text, expected] : cut) EXPECT_EQ(Tokens(text), expected) << text;
    EXPECT_EQ(pdf::StringBytes(std::string_view("(\\12)").substr(0, 3)), "\x01");
    EXPECT_EQ(pdf::StringBytes(std::string_view("<4142>").substr(0, 4)), "A@");

    // The short way for plain digits gives the tokens the long way gives, or
    // nothing and leaves the lexer where it was.
    const std::string numbers[] = {
        "1 0 obj", "12 -3 +4 5.5 6.", "7\n8%c\n9", "10abc 11", "12(x)", "0013", "14/N", "",
    };
    for (const std::string& text : numbers) {
        pdf::Lexer plain(text), usual(text);
        for (pdf::Token token = usual.next(); !token.is(pdf::TokenKind::End);
             token = usual.next()) {
            const size_t before = plain.position();
            std::optional<pdf::Token> got = plain.nextPlainInteger();
            if (!got) {
                EXPECT_EQ(plain.position(), before) << text;
                got = plain.next();
            }
            EXPECT_TRUE(got->kind == token.kind && got->begin == token.begin &&
                        got->end == token.end && got->cutOff == token.cutOff)
                << text << " at " << token.begin;
        }
    }
    const std::pair<std::string, bool> plainOnes[] = {
        {"1 ", true}, {" 22", true}, {"3.", false}, {"4x", false}, {"+5 ", false}, {"(6)", false},
    };
    for (const auto& [text, taken] : plainOnes) {
        EXPECT_EQ(pdf::Lexer(text).nextPlainInteger().has_value(), taken) << text;
    }

    EXPECT_EQ(pdf::NameBytes("/Outl#69nes"), "Outlines");
    EXPECT_EQ(pdf::NameBytes("/a#2"), "a\x20");
    EXPECT_EQ(pdf::NameBytes("/a#4z#"), "a@#");
    EXPECT_EQ(pdf::NameToken("a b#/\xE9"), "/a#20b#23#2F#E9");
    EXPECT_EQ(pdf::NameToken("!~\x7F\x20"), "/!~#7F#20");
    EXPECT_EQ(pdf::StringBytes("(a\\(b\\)\\n\\101\\0\\\r\nc\\q)"), "a(b)\nA\0cq"s);
    EXPECT_EQ(pdf::StringBytes("(no escapes at all)"), "no escapes at all");
    EXPECT_EQ(pdf::StringBytes("(ends on a backslash\\"), "ends on a backslash");
    EXPECT_EQ(pdf::StringBytes("(\\\\x\\\\)"), "\\x\\");
    EXPECT_EQ(pdf::StringBytes("(\\x\\)"), "x)");
    EXPECT_EQ(pdf::StringBytes("<4 1 4\n2>"), "AB");
    EXPECT_EQ(pdf::StringBytes("<4G 2>"), "@ ");
    EXPECT_EQ(pdf::StringBytes("<414>"), "A@");
    EXPECT_EQ(pdf::IntegerValue("-99999999999999999999"), INT64_MIN + 1);
    EXPECT_EQ(pdf::IntegerValue("9223372036854775800"), INT64_MAX - 7);
    EXPECT_EQ(pdf::IntegerValue("+9223372036854775808"), INT64_MAX);
    EXPECT_EQ(pdf::IntegerValue("999999999999999999"), 999999999999999999);
    EXPECT_EQ(pdf::IntegerValue("0000000000000000000000012"), 12);
}

// Headers and references, written plainly or not: "-" where none is read.
TEST(LexerTest, ObjectHeadersAndReferences) {
    const struct {
        std::string text;
        std::string header;
        std::string reference;
    } cases[] = {
        {"12 3 obj<<", "12 3", "-"},
        {"12 3 R/Next", "-", "12 3"},
        {"12\r\n3\tobj", "12 3", "-"},
        {"0012 03 obj", "12 3", "-"},
        {" % c\n 12 3 R", "-", "12 3"},
        {"12 %c\n3 obj", "12 3", "-"},
        {"12 3 objx", "-", "-"},
        {"12 3 Rx", "-", "-"},
        {"12 3 obj\xE9", "-", "-"},
        {"12 3 R\x80", "-", "-"},
        {"12 3 obj", "12 3", "-"},
        {"12 3 ob", "-", "-"},
        {"12 R", "-", "-"},
        {"-1 0 obj", "-", "-"},
        {"+1 0 obj", "1 0", "-"},
        {"1.0 0 obj", "-", "-"},
        {"4294967295 65535 obj", "4294967295 65535", "-"},
        {"4294967296 0 obj", "-", "-"},
        {"00000000004294967295 0 R", "-", "4294967295 0"},
        {"12 3", "-", "-"},
        {"12 3 ", "-", "-"},
        {"12 3\n\r ", "-", "-"},
    };
    auto shown = [](const std::optional<pdf::ObjectNumber>& read) {
        return read ? std::to_string(read->number) + " " + std::to_string(read->generation) : "-";
    };
    for (const auto& [text, header, reference] : cases) {
        EXPECT_EQ(shown(pdf::ReadObjectHeader(text)), header) << text;
        EXPECT_EQ(shown(pdf::ReadReference(text)), reference) << text;
    }
}

// The value of a key in an object's dictionary, wherever comments, strings,
// nested dictionaries and escaped spellings stand.
TEST(LexerTest, ValuesOfDictionaryKeys) {
    const struct {
        std::string text;
        std::string key;
        std::string value;  // "none": no such key; "-": no dictionary
    } cases[] = {
        {"1 0 obj % << /Outlines 9 0 R\n<< /Type /Catalog /Outlines 3 0 R >> endobj", "Outlines",
         "3 0 R"},
        {"1 0 obj %<<\n<</Pages 2 0 R>>endobj", "Pages", "2 0 R"},
        {"<< /A << /Outlines 5 0 R >> /Outlines 7 0 R >>", "Outlines", "7 0 R"},
        {"<< /A << /Outlines 5 0 R >> >>", "Outlines", "none"},
        {"<< /Outl#69nes 4 0 R >>", "Outlines", "4 0 R"},
        {"<< /T (a >> /K b) /K 1 >>", "K", "1"},
        {"<< /A << /S /URI % >> /N 3\n /URI (x) >> /N 2 >>", "A",
         "<< /S /URI % >> /N 3\n /URI (x) >>"},
        {"<< /A << /S /URI % >> /N 3\n /URI (x) >> /N 2 >>", "N", "2"},
        {"5 0 obj << /Length 3 >> stream\nabc >> /Length 9\nendstream endobj", "Length", "3"},
        {"<< /ID [<41> <42>] /K [1 [2] 3] >>", "K", "[1 [2] 3]"},
        {"<< /K 1 /K 2 >>", "K", "1"},
        {"<< /R 1 0 R/Z null >>", "Z", "null"},
        {"<< 12 /K /V >>", "K", "/V"},
        {"<< /K >>", "K", "none"},
        {"5 0 obj [1 2] endobj", "K", "-"},
        {"<< /K 1", "K", "-"},
    };
    for (const auto& c : cases) {
        const auto dict = pdf::DictionaryText::Find(c.text);
        const auto* entry = dict ? dict->find(c.key) : nullptr;
        const std::string value =
            !dict ? "-"
            : entry == nullptr
                ? "none"
                : c.text.substr(entry->valueBegin, entry->valueEnd - entry->valueBegin);
        EXPECT_EQ(value, c.value) << c.text;
    }
}

TEST(LexerTest, KeysEditedWhereTheyStand) {
    const std::string catalog =
        "1 0 obj % << /Outlines\n<</Outl#69nes 3 0 R /P 2 0 R\n"
        "/Outlines 4 0 R>>\nendobj\n";
    const auto dict = pdf::DictionaryText::Find(catalog);
    ASSERT_TRUE(dict);
    EXPECT_EQ(dict->replaced(catalog, "Outlines", "9 0 R"),
              "1 0 obj % << /Outlines\n<</Outl#69nes 9 0 R /P 2 0 R\n>>\nendobj\n");
    EXPECT_EQ(dict->removed(catalog, "Outlines"),
              "1 0 obj % << /Outlines\n<< /P 2 0 R\n>>\nendobj\n");
    EXPECT_EQ(dict->inserted(catalog, "Q", "(x)"),
              "1 0 obj % << /Outlines\n<</Q (x)\n/Outl#69nes 3 0 R /P 2 0 R\n/Outlines 4 0 R>>\n"
              "endobj\n");
    const std::string empty = "7 0 obj<<>>endobj";
    EXPECT_EQ(pdf::DictionaryText::Find(empty)->replaced(empty, "Outlines", "9 0 R"),
              "7 0 obj<</Outlines 9 0 R\n>>endobj");
}

}  // namespace
