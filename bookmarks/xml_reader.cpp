#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <sstream>

#include "base/exception.h"
#include "base/text_format.h"
#include "bookmarks/bookmark_xml.h"
#include "structure/outline.h"

namespace {

// The text behind the tag's first occurrence, up to the next "<".
std::string GetTagValue(const std::string& line, const char* tag) {
    size_t start = line.find(tag);
    if (start == std::string::npos) return {};
    start += std::strlen(tag);
    size_t end = line.find('<', start);
    return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool Contains(const std::string& line, const char* text) {
    return line.find(text) != std::string::npos;
}

int32_t ToInt(const std::string& value) {
    errno = 0;
    long long number = std::strtoll(value.c_str(), nullptr, 10);
    if (number > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (number < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(number);
}

// The leading decimal number of a value ([sign] digits [. digits] [exponent]);
// hexadecimal forms, "nan" and "inf" are not numbers here and give 0.
float ToFloat(const std::string& value) {
    size_t at = 0;
    while (at < value.size() && std::strchr(" \t\n\v\f\r", value[at]) != nullptr) ++at;
    const size_t start = at;
    auto digits = [&]() {
        size_t from = at;
        while (at < value.size() && value[at] >= '0' && value[at] <= '9') ++at;
        return at > from;
    };
    if (at < value.size() && (value[at] == '+' || value[at] == '-')) ++at;
    bool mantissa = digits();
    if (at < value.size() && value[at] == '.') {
        ++at;
        mantissa = digits() || mantissa;
    }
    if (!mantissa) return 0;
    if (at < value.size() && (value[at] == 'e' || value[at] == 'E')) {
        size_t exponent = at++;
        if (at < value.size() && (value[at] == '+' || value[at] == '-')) ++at;
        if (!digits()) at = exponent;
    }
    double number = std::strtod(value.substr(start, at - start).c_str(), nullptr);
    if (!std::isfinite(number)) return 0;
    if (number > std::numeric_limits<float>::max()) return std::numeric_limits<float>::max();
    if (number < -std::numeric_limits<float>::max()) return -std::numeric_limits<float>::max();
    return static_cast<float>(number);
}

// Test 14 of a line: "<Color>" first after white space, then a hexadecimal number.
bool ScanColor(const std::string& line, uint32_t& color) {
    size_t at = 0;
    while (at < line.size() && std::strchr(" \t\n\v\f\r", line[at]) != nullptr) ++at;
    if (line.compare(at, 7, "<Color>") != 0) return false;
    const char* digits = line.c_str() + at + 7;
    char* end = nullptr;
    errno = 0;
    unsigned long long value = std::strtoull(digits, &end, 16);
    if (end == digits) return false;
    color = value > 0xFFFFFFFFull || errno == ERANGE ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
    return true;
}

int32_t ActionTypeOf(const std::string& text) {
    if (text == "Go to a page in this document") return actionRecordGoTo;
    if (text == "Go to a page in another document") return actionRecordGoToR;
    if (text == "Execute a menu item") return actionRecordNamed;
    if (text == "Open weblink") return actionRecordURI;
    if (text == "Open a file") return actionRecordLaunch;
    return actionRecordNone;
}

// One piece of a decoded Name value: a byte of the value, or a character
// given by a numeric character reference.
struct TitleUnit {
    bool isCharacter;
    uint32_t value;
};

// Matches a numeric character reference "&#x...;" or "&#...;" at at.
bool MatchCharacterReference(const std::string& text, size_t at, uint32_t& character,
                             size_t& length) {
    if (text.compare(at, 2, "&#") != 0) return false;
    size_t i = at + 2;
    bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
    if (hex) ++i;
    size_t digitsStart = i;
    uint64_t value = 0;
    for (; i < text.size(); ++i) {
        int digit =
            hex ? HexDigitValue(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (digit < 0) break;
        value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
        if (value > 0x10FFFF) return false;
    }
    if (i == digitsStart || i >= text.size() || text[i] != ';') return false;
    if (value >= 0xD800 && value <= 0xDFFF) return false;
    character = static_cast<uint32_t>(value);
    length = i + 1 - at;
    return true;
}

// Undoes the entities of a value in one pass, so that text which itself
// looks like an entity ("&amp;lt;") comes back as it was written.
std::vector<TitleUnit> DecodeEntities(const std::string& text, bool withTitleEntities,
                                      bool withCharacterReferences) {
    struct Entity {
        const char* text;
        char byte;
    };
    static const Entity kEntities[] = {{"&amp;", '&'},   {"&lt;", '<'},   {"&gt;", '>'},
                                       {"&apos;", '\''}, {"&quot;", '"'}, {"&cbr;", ')'},
                                       {"&obr;", '('}};
    std::vector<TitleUnit> units;
    units.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        if (text[at] == '&') {
            bool matched = false;
            for (const Entity& entity : kEntities) {
                if (!withTitleEntities && (entity.byte == '(' || entity.byte == ')')) continue;
                size_t length = std::strlen(entity.text);
                if (text.compare(at, length, entity.text) == 0) {
                    units.push_back({false, static_cast<unsigned char>(entity.byte)});
                    at += length;
                    matched = true;
                    break;
                }
            }
            if (matched) continue;
            uint32_t character = 0;
            size_t length = 0;
            if (withCharacterReferences && MatchCharacterReference(text, at, character, length)) {
                units.push_back({true, character});
                at += length;
                continue;
            }
        }
        units.push_back({false, static_cast<unsigned char>(text[at])});
        ++at;
    }
    return units;
}

std::string UnitsAsBytes(const std::vector<TitleUnit>& units) {
    std::string bytes;
    bytes.reserve(units.size());
    for (const TitleUnit& unit : units) {
        if (unit.isCharacter) {
            bytes += static_cast<char>(PdfDocEncodingByte(unit.value));
        } else {
            bytes += static_cast<char>(unit.value);
        }
    }
    return bytes;
}

// Links and file names are byte strings; a character beyond one byte is
// given in UTF-8, as links carry it.
void AppendUtf8(uint32_t character, std::string& out) {
    if (character < 0x800) {
        out += static_cast<char>(0xC0 | (character >> 6));
    } else if (character < 0x10000) {
        out += static_cast<char>(0xE0 | (character >> 12));
        out += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (character >> 18));
        out += static_cast<char>(0x80 | ((character >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (character & 0x3F));
}

std::string UnitsAsUtf16(const std::vector<TitleUnit>& units) {
    std::string bytes = "\xFE\xFF";
    for (const TitleUnit& unit : units) {
        uint32_t character = unit.value;
        if (!unit.isCharacter) {
            uint32_t mapped = PdfDocEncodingToUnicode(static_cast<unsigned char>(unit.value));
            if (mapped != 0) character = mapped;
        }
        AppendUtf16Be(character, bytes);
    }
    return bytes;
}

// Where the records go: the path from the top list to the most recent record
// and those before it whose levels are lower, nearest last. The tree is at
// most kMaxDepth deep, as the outline the tool reads, so that writing and
// merging it stay within bounds; a deeper record goes under the deepest allowed.
class RecordPlacer {
public:
    static constexpr size_t kMaxDepth = 256;

    explicit RecordPlacer(std::vector<BookmarkRecord>& target) : target_(target) {}

    void place(const BookmarkRecord& record) {
        while (!path_.empty() && path_.back().level >= record.level) path_.pop_back();
        if (path_.size() >= kMaxDepth) path_.resize(kMaxDepth - 1);
        std::vector<BookmarkRecord>* list = &target_;
        for (const Step& step : path_) list = &(*list)[step.index].children;
        list->push_back(record);
        path_.push_back({record.level, list->size() - 1});
    }

private:
    struct Step {
        int32_t level;
        size_t index;
    };
    std::vector<BookmarkRecord>& target_;
    std::vector<Step> path_;
};

// Tests a line of a Bookmark block against the element tags, in their order.
void ReadElementLine(const std::string& line, bool forUpdate, BookmarkRecord& record,
                     ActionRecord& action) {
    if (Contains(line, "<Action>")) {
        action = ActionRecord();
    } else if (Contains(line, "</Action>")) {
        if (action.type != actionRecordNone) record.actions.push_back(action);
    } else if (Contains(line, "<Type>")) {
        action.type = ActionTypeOf(GetTagValue(line, "<Type>"));
    } else if (Contains(line, "<Item>")) {
        record.item = ToInt(GetTagValue(line, "<Item>"));
    } else if (Contains(line, "<Page>")) {
        action.page = ToInt(GetTagValue(line, "<Page>"));
    } else if (Contains(line, "<Level>")) {
        record.level = ToInt(GetTagValue(line, "<Level>"));
    } else if (Contains(line, "<NamedDestination>")) {
        action.namedDestination = DecodeXmlText(GetTagValue(line, "<NamedDestination>"));
    } else if (Contains(line, "<Filename>")) {
        action.fileName = DecodeXmlText(GetTagValue(line, "<Filename>"));
    } else if (Contains(line, "<NewWindow>")) {
        action.newWindow = GetTagValue(line, "<NewWindow>") == "True";
    } else if (Contains(line, "<Uri>")) {
        action.uri = DecodeXmlText(GetTagValue(line, "<Uri>"));
    } else if (Contains(line, "<Name>")) {
        record.name = DecodeNameValue(GetTagValue(line, "<Name>"));
    } else if (Contains(line, "<Actionname>")) {
        action.actionName = DecodeXmlText(GetTagValue(line, "<Actionname>"));
    } else if (Contains(line, "<Destination>")) {
        std::string value = GetTagValue(line, "<Destination>");
        action.destination = value.empty() ? "FitH" : value;
    } else if (Contains(line, "<Style>")) {
        record.style = GetTagValue(line, "<Style>");
    } else if (ScanColor(line, record.color)) {
    } else if (Contains(line, "<Zoom>")) {
        action.zoom = ToFloat(GetTagValue(line, "<Zoom>"));
    } else if (Contains(line, "<Top>")) {
        action.top = ToFloat(GetTagValue(line, "<Top>"));
    } else if (Contains(line, "<Left>")) {
        action.left = ToFloat(GetTagValue(line, "<Left>"));
    } else if (Contains(line, "<Bottom>")) {
        action.bottom = ToFloat(GetTagValue(line, "<Bottom>"));
    } else if (Contains(line, "<Right>")) {
        action.right = ToFloat(GetTagValue(line, "<Right>"));
    } else if (forUpdate && Contains(line, "<Insert>")) {
        if (GetTagValue(line, "<Insert>") == "True") record.insert = true;
    }
}

}  // namespace

int HexDigitValue(char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    return -1;
}

std::string PercentDecode(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '%' && at + 2 < text.size()) {
            int high = HexDigitValue(text[at + 1]);
            int low = HexDigitValue(text[at + 2]);
            if (high < 0 || low < 0) throw CPdfException("Wrong PDFEncoding code");
            out += static_cast<char>(high * 16 + low);
            at += 2;
            continue;
        }
        out += text[at];
    }
    return out;
}

std::string DecodeNameValue(const std::string& value) {
    // A raw CR is a line end that crept into the value; %0D is a CR of the title.
    std::string bytes = PercentDecode(ReplaceAll(value, "\r", ""));
    std::vector<TitleUnit> units = DecodeEntities(bytes, true, true);
    bool needsUnicode = false;
    for (const TitleUnit& unit : units) {
        if (unit.isCharacter && PdfDocEncodingByte(unit.value) < 0) needsUnicode = true;
    }
    return EscapeLiteralString(needsUnicode ? UnitsAsUtf16(units) : UnitsAsBytes(units));
}

std::string DecodeXmlText(const std::string& value) {
    std::string bytes;
    for (const TitleUnit& unit : DecodeEntities(value, false, true)) {
        if (!unit.isCharacter || unit.value < 0x100) {
            bytes += static_cast<char>(unit.value);
        } else {
            AppendUtf8(unit.value, bytes);
        }
    }
    return bytes;
}

namespace {

// True when a NUL or a control character other than tab, CR and LF stands
// outside the text of an element (from a start tag up to the next "<").
bool HoldsBinary(const std::string& line) {
    bool inText = false;
    size_t tagStart = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c == '<') {
            inText = false;
            tagStart = i;
        } else if (c == '>') {
            inText = line[tagStart] == '<' && tagStart + 1 < i && line[tagStart + 1] != '/' &&
                     line[i - 1] != '/';
        } else if (!inText && c < 0x20 && c != '\t' && c != '\r' && c != '\n') {
            return true;
        }
    }
    return false;
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The length of the valid UTF-8 sequence at `at` and its character, or 0.
size_t Utf8Sequence(const std::string& text, size_t at, uint32_t& character) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || at + length > text.size()) return 0;
    character = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) return 0;
        character = character << 6 | (next & 0x3F);
    }
    const bool shortest = character >= (length == 2 ? 0x80u : length == 3 ? 0x800u : 0x10000u);
    return shortest && character <= 0x10FFFF && (character < 0xD800 || character > 0xDFFF) ? length
                                                                                           : 0;
}

// Whether the file is UTF-8: declared so, opened by a byte-order mark, or (with
// a warning) holding non-ASCII bytes that all form UTF-8 characters.
bool ReadsAsUtf8(const std::string& text, std::string& warning) {
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) return true;
    const size_t declarationEnd = text.rfind("?>", text.find('<', text.find("<?xml") + 1));
    const std::string declaration =
        text.compare(0, 5, "<?xml") == 0 ? Lower(text.substr(0, declarationEnd)) : "";
    if (declaration.find("utf-8") != std::string::npos) return true;
    bool nonAscii = false;
    uint32_t character = 0;
    for (size_t at = 0; at < text.size(); ++at) {
        if (static_cast<unsigned char>(text[at]) < 0x80) continue;
        const size_t length = Utf8Sequence(text, at, character);
        if (length == 0) return false;
        nonAscii = true;
        at += length - 1;
    }
    if (nonAscii) warning = "Warning: the bookmark file is read as UTF-8, as all its text is\n";
    return nonAscii;
}

// The canonical value of an element whose value is a word or a number.
std::string CanonicalValue(const std::string& tag, std::string value) {
    static const char* const kWordsAndNumbers[] = {
        "Type", "Destination", "Style", "Insert", "NewWindow", "Item",  "Level",
        "Page", "Zoom",        "Top",   "Left",   "Bottom",    "Right", "Color"};
    if (std::find(std::begin(kWordsAndNumbers), std::end(kWordsAndNumbers), tag) ==
        std::end(kWordsAndNumbers)) {
        return value;
    }
    const size_t first = value.find_first_not_of(" \t\r\n");
    value = first == std::string::npos
                ? ""
                : value.substr(first, value.find_last_not_of(" \t\r\n") - first + 1);
    if (tag == "Insert" || tag == "NewWindow") {
        if (Lower(value) == "true") return "True";
        if (Lower(value) == "false") return "False";
    }
    if (tag == "Style") {
        for (const char* style : {"Plain", "Bold", "Italic", "BoldItalic"}) {
            if (Lower(value) == Lower(style)) return style;
        }
    }
    if (tag == "Color" && !value.empty() && value[0] == '#') value.erase(0, 1);
    return value;
}

// The file as one element per line, which is how the reader takes it: tags
// wherever the line breaks fall, attributes, the declaration and comments
// dropped, words and numbers trimmed, and UTF-8 characters turned into
// character references.
std::string OneElementPerLine(const std::string& text, std::string& warning) {
    const bool utf8 = ReadsAsUtf8(text, warning);
    std::string out, value, tag;
    uint32_t character = 0;
    for (size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0; at < text.size();) {
        const char c = text[at];
        const bool markup = c == '<' && at + 1 < text.size() &&
                            (IsAsciiLetter(text[at + 1]) || std::strchr("/?!", text[at + 1]));
        if (!markup) {
            const size_t length = utf8 && static_cast<unsigned char>(c) >= 0x80
                                      ? Utf8Sequence(text, at, character)
                                      : 0;
            if (length > 0) {
                value += Format("&#x%X;", character);
                at += length;
            } else {
                value += c == '\n' || c == '\r' ? ' ' : c;
                ++at;
            }
            continue;
        }
        const char* close = text.compare(at, 4, "<!--") == 0 ? "-->" : ">";
        const size_t end = std::min(text.find(close, at), text.size());
        const std::string inside = text.substr(at + 1, end - at - 1);
        at = std::min(end + std::strlen(close), text.size());
        if (inside.empty() || inside[0] == '?' || inside[0] == '!') continue;
        const bool closing = inside[0] == '/';
        const std::string name =
            inside.substr(closing ? 1 : 0, inside.find_first_of(" \t\r\n/", 1) - (closing ? 1 : 0));
        if (closing && name == tag) {
            out += CanonicalValue(tag, value) + "</" + name + ">\n";
        } else {
            out += std::string("\n<") + (closing ? "/" : "") + name + ">";
            if (closing) out += "\n";
        }
        tag = closing ? "" : name;
        value.clear();
    }
    return out;
}

}  // namespace

std::vector<BookmarkRecord> ReadBookmarks(std::istream& input, bool forUpdate,
                                          std::string* warning) {
    std::string text{std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>()};
    // Random bytes or another kind of file must not pass for a file without
    // records: that would remove the outline and report success.
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        if (HoldsBinary(text.substr(start, end - start))) {
            throw CPdfException("Error in .xml file: binary data outside element values\n");
        }
        start = end + 1;
    }
    std::string note;
    const std::string normalised = OneElementPerLine(text, note);
    if (warning != nullptr) *warning = note;
    std::string().swap(text);  // only the normalised text is needed from here

    std::vector<BookmarkRecord> target;
    RecordPlacer placer(target);
    BookmarkRecord record;
    ActionRecord action;
    bool inBookmark = false;
    bool bookmarkFile = false;
    std::string line;
    for (size_t start = 0; start < normalised.size();) {
        const size_t end = std::min(normalised.find('\n', start), normalised.size());
        line.assign(normalised, start, end - start);
        start = end + 1;
        if (line.empty()) continue;
        bookmarkFile |= Contains(line, "<Bookmarks>");
        if (Contains(line, "<Bookmark>")) {
            record.Reset();
            inBookmark = true;
        }
        if (Contains(line, "</Bookmark>")) {
            placer.place(record);
            inBookmark = false;
            continue;
        }
        if (inBookmark) ReadElementLine(line, forUpdate, record, action);
    }
    if (!bookmarkFile) throw CPdfException("Error in .xml file: no <Bookmarks> element\n");
    return target;
}
