#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>
#include <string_view>

#include "base/error.h"
#include "base/text_format.h"
#include "base/utf8.h"
#include "bookmarks/bookmark_xml.h"
#include "bookmarks/xml_parser.h"

namespace {

constexpr std::string_view kBookmarkElements[] = {"Item",  "Level", "Name",  "Color",
                                                  "Style", "Open",  "Insert"};
constexpr std::string_view kActionElements[] = {
    "Type",     "Page",      "Zoom",  "Destination",      "Top",
    "Left",     "Bottom",    "Right", "NamedDestination", "NamedDestinationType",
    "Filename", "NewWindow", "Uri",   "Actionname",       "Script"};
constexpr const char* kDestinationKinds[] = {"XYZ",  "Fit",  "FitH",  "FitV",
                                             "FitR", "FitB", "FitBH", "FitBV"};
constexpr const char* kStyles[] = {"Plain", "Bold", "Italic", "BoldItalic"};
constexpr ActionType kActionTypes[] = {ActionType::GoTo, ActionType::GoToR, ActionType::Launch,
                                       ActionType::Uri,  ActionType::Named, ActionType::JavaScript};

template <typename List>
bool Holds(const List& list, const std::string& name) {
    return std::find(std::begin(list), std::end(list), name) != std::end(list);
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool IsXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Trim(const std::string& text) {
    size_t first = 0, last = text.size();
    while (first < last && IsXmlSpace(text[first])) ++first;
    while (last > first && IsXmlSpace(text[last - 1])) --last;
    return text.substr(first, last - first);
}

// A word of the format: blanks and line breaks between its parts count as one
// blank, and letter case does not matter.
std::string Word(const std::string& text) {
    std::string word;
    for (char c : Trim(text)) {
        if (!IsXmlSpace(c)) {
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        } else if (!word.empty() && word.back() != ' ') {
            word += ' ';
        }
    }
    return word;
}

// Whether a word (as Word gives it) is the name, a canonical spelling, in any
// letter case.
bool WordIs(const std::string& word, std::string_view name) {
    return std::equal(word.begin(), word.end(), name.begin(), name.end(), [](char w, char n) {
        return w == static_cast<char>(std::tolower(static_cast<unsigned char>(n)));
    });
}

// The canonical spelling of a word among names, or empty.
template <typename List>
std::string MatchWord(const List& names, const std::string& value) {
    const std::string word = Word(value);
    for (const char* name : names) {
        if (WordIs(word, name)) return name;
    }
    return "";
}

// An element value as the file gives it, and the line where the element starts.
struct Value {
    std::string text;
    unsigned long line = 0;
};
using Values = std::map<std::string, Value>;

// A mistake in a value: where it stands and what is wrong.
struct ValueError {
    unsigned long line;
    std::string what;
};

[[noreturn]] void Refuse(const Value& value, const std::string& what) {
    throw ValueError{value.line, what};
}

std::string Quoted(const Value& value) {
    return "'" + Trim(value.text) + "'";
}

int32_t WholeNumber(const std::string& tag, const Value& value) {
    const std::string text = Trim(value.text);
    size_t at = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
    const bool digits =
        at < text.size() && std::all_of(text.begin() + static_cast<std::ptrdiff_t>(at), text.end(),
                                        [](unsigned char c) { return std::isdigit(c) != 0; });
    if (!digits) Refuse(value, "<" + tag + "> must be a whole number, not " + Quoted(value));
    errno = 0;
    const long long number = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE || number > std::numeric_limits<int32_t>::max() ||
        number < std::numeric_limits<int32_t>::min()) {
        Refuse(value, "<" + tag + "> is out of range: " + Quoted(value));
    }
    return static_cast<int32_t>(number);
}

// A decimal number: sign, digits with a fraction, an exponent. An empty
// element leaves the coordinate out.
float Coordinate(const std::string& tag, const Value& value) {
    const std::string text = Trim(value.text);
    if (text.empty()) return kAbsent;
    size_t at = 0;
    auto digits = [&] {
        const size_t from = at;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
        return at > from;
    };
    if (text[at] == '+' || text[at] == '-') ++at;
    bool mantissa = digits();
    if (at < text.size() && text[at] == '.') {
        ++at;
        mantissa = digits() || mantissa;
    }
    if (mantissa && at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
        mantissa = digits();
    }
    if (!mantissa || at != text.size()) {
        Refuse(value, "<" + tag + "> must be a number, not " + Quoted(value));
    }
    const double number = std::strtod(text.c_str(), nullptr);
    constexpr double kMost = std::numeric_limits<float>::max();
    return static_cast<float>(std::isfinite(number) ? std::clamp(number, -kMost, kMost)
                                                    : (number < 0 ? -kMost : kMost));
}

bool TrueOrFalse(const std::string& tag, const Value& value) {
    const std::string word = Word(value.text);
    if (word != "true" && word != "false") {
        Refuse(value, "<" + tag + "> must be True or False, not " + Quoted(value));
    }
    return word == "true";
}

uint32_t Color(const Value& value) {
    std::string digits = Trim(value.text);
    if (!digits.empty() && digits[0] == '#') digits.erase(0, 1);
    if (digits.size() != 6 || !std::all_of(digits.begin(), digits.end(),
                                           [](unsigned char c) { return std::isxdigit(c) != 0; })) {
        Refuse(value, "<Color> must be six hexadecimal digits (RRGGBB), not " + Quoted(value));
    }
    return static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, 16));
}

const Value* Find(const Values& values, const char* tag) {
    const auto found = values.find(tag);
    return found == values.end() ? nullptr : &found->second;
}

void RefuseBadEscape(const Value& value, const std::string& bad) {
    Refuse(value, "Wrong PDFEncoding code '" + bad +
                      "': \"%\" must be followed by two hexadecimal digits");
}

void ReadDestination(const Values& values, ActionRecord& action) {
    if (const Value* page = Find(values, "Page")) {
        action.page = WholeNumber("Page", *page);
        if (action.page < 0) Refuse(*page, "a negative <Page>: " + Quoted(*page));
    }
    if (const Value* kind = Find(values, "Destination")) {
        // An empty destination has long meant the page's width from a height.
        action.destination =
            Trim(kind->text).empty() ? "FitH" : MatchWord(kDestinationKinds, kind->text);
        if (action.destination.empty()) Refuse(*kind, "unknown <Destination> " + Quoted(*kind));
    }
    const std::pair<const char*, float ActionRecord::*> coordinates[] = {
        {"Zoom", &ActionRecord::zoom},
        {"Top", &ActionRecord::top},
        {"Left", &ActionRecord::left},
        {"Bottom", &ActionRecord::bottom},
        {"Right", &ActionRecord::right}};
    for (const auto& [tag, field] : coordinates) {
        if (const Value* value = Find(values, tag)) action.*field = Coordinate(tag, *value);
    }
    if (const Value* name = Find(values, "NamedDestination")) {
        std::string bad;
        if (!NamedDestinationFromXml(name->text, action.namedDestination, bad)) {
            RefuseBadEscape(*name, bad);
        }
    }
    if (const Value* form = Find(values, "NamedDestinationType")) {
        const std::string word =
            MatchWord(std::initializer_list<const char*>{"Name", "String"}, form->text);
        if (word.empty()) {
            Refuse(*form, "<NamedDestinationType> must be Name or String, not " + Quoted(*form));
        }
        action.namedDestinationIsName = word == "Name";
    }
}

ActionRecord ReadAction(const Values& values, unsigned long line) {
    const Value* type = Find(values, "Type");
    if (type == nullptr) throw ValueError{line, "an action without <Type>"};
    ActionRecord action;
    bool known = false;
    const std::string typeWord = Word(type->text);
    for (ActionType candidate : kActionTypes) {
        if (WordIs(typeWord, ActionTypeName(candidate))) {
            action.type = candidate;
            known = true;
        }
    }
    if (!known) Refuse(*type, "unknown action type " + Quoted(*type));
    ReadDestination(values, action);
    if (const Value* file = Find(values, "Filename")) action.fileName = file->text;
    if (const Value* window = Find(values, "NewWindow")) {
        action.newWindow = TrueOrFalse("NewWindow", *window);
    }
    if (const Value* uri = Find(values, "Uri")) action.uri = UriFromCharacters(Trim(uri->text));
    if (const Value* name = Find(values, "Actionname")) {
        action.actionName = BytesFromCharacters(name->text);
    }
    if (const Value* script = Find(values, "Script")) action.script = script->text;
    return action;
}

// One Bookmark element as the file gives it.
struct RawRecord {
    unsigned long line = 0;
    Values values;
    std::vector<std::pair<unsigned long, Values>> actions;
};

BookmarkRecord ReadRecord(const RawRecord& raw) {
    BookmarkRecord record;
    const Values& values = raw.values;
    if (const Value* item = Find(values, "Item")) record.item = WholeNumber("Item", *item);
    if (const Value* level = Find(values, "Level")) {
        record.level = WholeNumber("Level", *level);
        if (record.level < 0) Refuse(*level, "a negative <Level>: " + Quoted(*level));
    }
    if (const Value* name = Find(values, "Name")) {
        std::string bad;
        if (!TitleFromXml(name->text, record.title, bad)) RefuseBadEscape(*name, bad);
    }
    if (const Value* color = Find(values, "Color")) record.color = Color(*color);
    if (const Value* style = Find(values, "Style")) {
        record.style = MatchWord(kStyles, style->text);
        if (record.style.empty()) Refuse(*style, "unknown <Style> " + Quoted(*style));
    }
    if (const Value* open = Find(values, "Open")) record.open = TrueOrFalse("Open", *open);
    if (const Value* insert = Find(values, "Insert")) {
        record.insert = TrueOrFalse("Insert", *insert);
    }
    for (const auto& [line, actionValues] : raw.actions) {
        record.actions.push_back(ReadAction(actionValues, line));
    }
    return record;
}

// Where the records go: the path from the top list to the most recent record
// and those before it whose levels are lower, nearest last. The tree is at
// most kMaxDepth deep, as the outline the tool reads, so that writing and
// merging it stay within bounds; a deeper record goes under the deepest allowed.
class RecordPlacer {
public:
    static constexpr size_t kMaxDepth = 256;

    explicit RecordPlacer(std::vector<BookmarkRecord>& target) : target_(target) {}

    void place(BookmarkRecord record) {
        while (!path_.empty() && path_.back().level >= record.level) path_.pop_back();
        if (path_.size() >= kMaxDepth) path_.resize(kMaxDepth - 1);
        std::vector<BookmarkRecord>* list = &target_;
        for (const Step& step : path_) list = &(*list)[step.index].children;
        const int32_t level = record.level;
        list->push_back(std::move(record));
        path_.push_back({level, list->size() - 1});
    }

private:
    struct Step {
        int32_t level;
        size_t index;
    };
    std::vector<BookmarkRecord>& target_;
    std::vector<Step> path_;
};

// Builds the records from the parser's events, refusing what the format
// does not allow where it stands.
class BookmarkEvents : public xml::Events {
public:
    BookmarkEvents(std::vector<BookmarkRecord>& records, bool forUpdate)
        : placer_(records), forUpdate_(forUpdate) {}

    bool startElement(const std::string& name, xml::Position at) override {
        const std::string& parent = open_.empty() ? kNoParent : open_.back();
        bool allowed = false;
        if (parent.empty()) {
            if (name != "Bookmarks") return fail(at, "", true);
            allowed = true;
        } else if (parent == "Bookmarks") {
            allowed = name == "Bookmark";
            if (allowed) record_ = RawRecord{at.line, {}, {}};
        } else if (parent == "Bookmark") {
            allowed = name == "Action" || Holds(kBookmarkElements, name);
            if (name == "Action") record_.actions.push_back({at.line, {}});
        } else if (parent == "Action") {
            allowed = Holds(kActionElements, name);
        }
        if (!allowed) return fail(at, "<" + name + "> cannot stand inside <" + parent + ">");
        open_.push_back(name);
        text_.clear();
        valueLine_ = at.line;
        return true;
    }

    bool endElement(const std::string& name, xml::Position at) override {
        open_.pop_back();
        const std::string& parent = open_.empty() ? kNoParent : open_.back();
        if (name == "Bookmark") {
            BookmarkRecord record;
            try {
                record = ReadRecord(record_);
            } catch (const ValueError& error) {
                return fail(error.line, record_.values, error.what);
            }
            if (!forUpdate_) record.insert = false;
            placer_.place(std::move(record));
        } else if (name != "Action" && name != "Bookmarks") {
            Values& values = parent == "Bookmark" ? record_.values : record_.actions.back().second;
            if (!values.emplace(name, Value{text_, valueLine_}).second) {
                return fail(at, "<" + name + "> given twice");
            }
        }
        text_.clear();
        return true;
    }

    bool text(std::string_view characters) override {
        text_.append(characters);
        return true;
    }

    // Why the parse was stopped, as the message of the refusal.
    const std::string& failure() const { return failure_; }

private:
    bool fail(xml::Position at, const std::string& what, bool notBookmarkFile = false) {
        failure_ = notBookmarkFile ? "Error in .xml file: no <Bookmarks> element\n"
                                   : Format("Error in .xml file: line %lu, column %lu: %s\n",
                                            at.line, at.column, what.c_str());
        return false;
    }

    bool fail(unsigned long line, const Values& values, const std::string& what) {
        const Value* item = Find(values, "Item");
        const std::string place = item != nullptr ? ", item " + Trim(item->text) : "";
        failure_ =
            Format("Error in .xml file: line %lu%s: %s\n", line, place.c_str(), what.c_str());
        return false;
    }

    inline static const std::string kNoParent;
    RecordPlacer placer_;
    bool forUpdate_;
    std::vector<std::string> open_;
    RawRecord record_;
    std::string text_;
    unsigned long valueLine_ = 0;
    std::string failure_;
};

// The encoding name in the XML declaration of an 8-bit file, or empty.
std::string DeclaredEncoding(const std::string& bytes) {
    if (bytes.compare(0, 5, "<?xml") != 0) return "";
    const size_t end = bytes.find("?>");
    const std::string declaration = bytes.substr(0, end);
    const size_t key = declaration.find("encoding");
    if (key == std::string::npos) return "";
    const size_t quote = declaration.find_first_of("\"'", key);
    if (quote == std::string::npos) return "";
    const size_t close = declaration.find(declaration[quote], quote + 1);
    if (close == std::string::npos) return "";
    return declaration.substr(quote + 1, close - quote - 1);
}

bool HasNonAscii(const std::string& bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// The encoding the file is read in, in place of the one it declares; empty to
// follow its declaration.
std::string ChooseEncoding(const std::string& bytes, std::string& warning) {
    if (bytes.compare(0, 2, "\xFF\xFE") == 0 ||
        bytes.compare(0, 4, std::string("<\0?\0", 4)) == 0) {
        return "UTF-16LE";
    }
    if (bytes.compare(0, 2, "\xFE\xFF") == 0 ||
        bytes.compare(0, 4, std::string("\0<\0?", 4)) == 0) {
        return "UTF-16BE";
    }
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return "UTF-8";
    const std::string declared = Lower(DeclaredEncoding(bytes));
    if (declared.empty()) {
        if (utf8::IsValid(bytes)) return "UTF-8";
        warning =
            "Warning: the bookmark file declares no encoding and is not UTF-8; it is read "
            "as Windows-1252\n";
        return "Windows-1252";
    }
    if (declared == "windows-1252" || declared == "cp1252") {
        // Editors save UTF-8 without touching the declaration.
        if (HasNonAscii(bytes) && utf8::IsValid(bytes)) {
            warning = "Warning: the bookmark file is read as UTF-8, as all its text is\n";
            return "UTF-8";
        }
        return "Windows-1252";
    }
    return "";
}

}  // namespace

std::vector<BookmarkRecord> ReadBookmarks(const std::string& bytes, bool forUpdate,
                                          Warnings* warnings) {
    std::string note;
    const std::string encoding = ChooseEncoding(bytes, note);
    std::vector<BookmarkRecord> records;
    BookmarkEvents events(records, forUpdate);
    if (const std::optional<xml::Failure> failure = xml::Parse(bytes, encoding, events)) {
        if (failure->message.empty()) throw Error(events.failure());
        throw Error(Format("Error in .xml file: line %lu, column %lu: %s\n", failure->at.line,
                           failure->at.column, failure->message.c_str()));
    }
    if (warnings != nullptr && !note.empty()) warnings->add(note.substr(0, note.find('\n')));
    return records;
}
