// Rebuilding a damaged cross-reference table by scanning the file for the
// objects it holds, as readers of damaged files commonly do.
#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "base/error.h"
#include "pdf/lexer.h"
#include "pdf/parser.h"
#include "pdf/xref.h"

namespace pdf {

namespace {

constexpr size_t kWindow = 1 << 20;
// Headers, dictionaries and trailers longer than this are not looked at whole.
constexpr size_t kLookAhead = 64 << 10;

// The file's bytes from a position on, a window at a time: every position can
// see kLookAhead bytes ahead (unless the file ends first) and kLookBack behind.
class ScanWindow {
public:
    static constexpr uint64_t kLookBack = 256;

    explicit ScanWindow(ByteSource& file) : file_(file) {}

    // False at the end of the file.
    bool holds(uint64_t position) {
        if (position < start_ || position + kLookAhead > end()) load(position);
        return position >= start_ && position < end();
    }
    uint64_t begin() const { return start_; }
    uint64_t end() const { return start_ + bytes_.size(); }
    unsigned char at(uint64_t position) const { return bytes_[position - start_]; }
    bool matches(uint64_t position, const char* word) const {
        const size_t from = static_cast<size_t>(position - start_);
        return bytes_.compare(from, std::strlen(word), word) == 0;
    }
    // Up to count bytes from position on, within the window.
    std::string text(uint64_t position, size_t count) const {
        const size_t from = static_cast<size_t>(position - start_);
        return bytes_.substr(from, std::min(count, bytes_.size() - from));
    }

private:
    void load(uint64_t position) {
        // At the end of the file the window already holds all there is.
        if (atEnd_ && position >= start_) return;
        start_ = position - std::min(position, kLookBack);
        bytes_.resize(kWindow + kLookAhead);
        const size_t got = file_.read(start_, bytes_.data(), bytes_.size());
        bytes_.resize(got);
        atEnd_ = got < kWindow + kLookAhead;
    }

    ByteSource& file_;
    uint64_t start_ = 0;
    std::string bytes_;
    bool atEnd_ = false;
};

// "N G obj" ending just before `obj` (the position of its "o"), no further
// back than lowest: the object number and generation, and where the header
// begins. The two numbers are found backwards, then read as a header.
bool HeaderBefore(const ScanWindow& window, uint64_t obj, uint64_t lowest, uint64_t& number,
                  uint64_t& generation, uint64_t& begin) {
    lowest = std::max(lowest, window.begin());
    uint64_t at = obj;
    auto skipBack = [&](bool digits) {
        const uint64_t from = at;
        while (at > lowest && (digits ? obj - at < 30 && IsDigit(window.at(at - 1))
                                      : IsWhite(window.at(at - 1)))) {
            --at;
        }
        return at < from;
    };
    if (!skipBack(false) || !skipBack(true) || !skipBack(false) || !skipBack(true)) return false;
    // The number must start a token: a longer run of digits is something else.
    if (at > lowest && IsRegular(window.at(at - 1))) return false;
    const std::optional<ObjectNumber> header =
        ReadObjectHeader(window.text(at, static_cast<size_t>(obj + 3 - at)));
    if (!header) return false;
    number = header->number;
    generation = header->generation;
    begin = at;
    return true;
}

// Where an object's "stream" keyword begins, counted from the header, or
// npos for an object that is not a stream (or too long to tell).
size_t StreamKeyword(const ScanWindow& window, uint64_t begin) {
    for (size_t want : {size_t{1} << 10, kLookAhead}) {
        const std::string bytes = window.text(begin, want);
        const std::optional<ObjectEnd> end = FindObjectEnd(bytes);
        if (end) return end->isStream ? end->keyword : std::string::npos;
        if (bytes.size() < want) break;
    }
    return std::string::npos;
}

// The dictionary that some text starts with, read with no table: references
// stay unresolved. Nothing when the text starts otherwise.
std::optional<Dictionary> ParseDictionary(const std::string& text) {
    MemorySource source(text);
    Parser parser(source, 0);
    const Object value = parser.next();
    if (const Dictionary* dict = value.dictionaryOrStreamDictionary()) return *dict;
    return std::nullopt;
}

}  // namespace

// One object met in the scan, at its place in the file.
struct XRef::ScannedObject {
    uint64_t position;  // from the start of the file
    uint32_t number;
    uint32_t generation;
};

std::vector<uint32_t> XRef::staleEntries() {
    std::vector<uint32_t> stale;
    for (size_t number = 1; number < entries_.size(); ++number) {
        const XRefEntry& entry = entries_[number];
        if (entry.type != 1 || !entry.isDefined()) continue;
        const uint64_t position = filePosition(entry.offset);
        char head[64];
        const size_t got = position == UINT64_MAX ? 0 : file_->read(position, head, sizeof head);
        const std::optional<ObjectNumber> header = ReadObjectHeader(std::string_view(head, got));
        if (!header || header->number != number || header->generation != entry.generation) {
            stale.push_back(static_cast<uint32_t>(number));
        }
    }
    return stale;
}

bool XRef::repairStaleEntries() {
    const std::vector<uint32_t> stale = staleEntries();
    if (stale.empty()) return false;
    std::vector<ScannedObject> objects;
    std::vector<std::pair<uint64_t, Dictionary>> trailers;
    std::vector<uint32_t> objectStreams;
    scanFile(objects, trailers, objectStreams);
    // The newest header of each number the scan met.
    std::unordered_map<uint32_t, const ScannedObject*> newest;
    for (const ScannedObject& object : objects) {
        const ScannedObject*& kept = newest[object.number];
        if (kept == nullptr || kept->position < object.position) kept = &object;
    }
    bool repaired = false;
    for (uint32_t number : stale) {
        const auto found = newest.find(number);
        if (found == newest.end()) continue;  // nowhere in the file: it stays as listed
        entries_[number] = {found->second->position - start_, found->second->generation, 1};
        repaired = true;
    }
    return repaired;
}

bool XRef::rebuild(const std::string& password) {
    std::vector<ScannedObject> objects;
    std::vector<std::pair<uint64_t, Dictionary>> trailers;  // position, dictionary
    std::vector<uint32_t> objectStreams;
    scanFile(objects, trailers, objectStreams);
    if (objects.empty()) return false;

    std::vector<XRefEntry> rebuilt;
    std::vector<uint64_t> placedAt;  // the position of each entry's object
    for (const ScannedObject& object : objects) {
        if (object.number >= kMaxEntries) continue;
        if (object.number >= rebuilt.size()) {
            rebuilt.resize(object.number + 1);
            placedAt.resize(object.number + 1, 0);
        }
        // A later header for the same number wins, as incremental updates intend.
        if (rebuilt[object.number].isDefined() && placedAt[object.number] > object.position)
            continue;
        rebuilt[object.number] = {object.position - start_, object.generation, 1};
        placedAt[object.number] = object.position;
    }
    std::vector<XRefEntry> previous = std::move(entries_);
    Dictionary previousTrailer = std::move(trailer_);
    entries_ = std::move(rebuilt);
    trailer_ = Dictionary();

    // An encrypted file's object streams can be read only once its key is
    // known; its Encrypt dictionary and identifier go into the new trailer.
    const auto [encrypt, identifier] = findEncryption(trailers);
    if (!encrypt.isNull()) {
        try {
            openSecurity(encrypt, identifier, password);
        } catch (const Error&) {
            // Without the identifier the key is made from, nothing decrypts.
            if (identifier.isNull()) {
                throw Error("Encrypted PDF file has lost its /ID: it cannot be decrypted");
            }
            throw;
        }
    }
    indexObjectStreams(objectStreams, placedAt);
    if (chooseTrailer(trailers) || trailerFromCatalog(placedAt)) {
        if (!encrypt.isNull()) {
            std::vector<Dictionary::Entry> entries = trailer_.entries();
            entries.emplace_back("Encrypt", encrypt);
            if (!identifier.isNull()) entries.emplace_back("ID", identifier);
            trailer_ = Dictionary(std::move(entries));
        }
        return true;
    }
    rawObjStms_.clear();
    security_.reset();
    encrypt_ = {};
    entries_ = std::move(previous);
    trailer_ = std::move(previousTrailer);
    return false;
}

std::pair<Object, Object> XRef::findEncryption(
    const std::vector<std::pair<uint64_t, Dictionary>>& trailers) {
    Object encrypt;
    Object identifier;
    // The newest trailer first.
    for (auto it = trailers.rbegin(); it != trailers.rend(); ++it) {
        if (encrypt.isNone() && it->second.has("Encrypt")) encrypt = it->second.get("Encrypt");
        if (identifier.isNone() && it->second.has("ID")) identifier = it->second.get("ID");
    }
    if (encrypt.isNone()) {
        static const std::vector<std::string> kKeys = {"Filter", "O", "U"};
        for (size_t number = entries_.size(); number-- > 1;) {
            if (!entries_[number].isDefined()) continue;
            const Reference reference{
                static_cast<int32_t>(number),
                static_cast<int32_t>(generationOf(static_cast<uint32_t>(number)))};
            Object dict;
            try {
                dict = fetchKeys(reference, kKeys);
            } catch (const Error&) {
                // Unreadable: no Encrypt dictionary
            }
            const Dictionary* keys = dict.dictionary();
            if (keys != nullptr && keys->get("Filter").isName("Standard") && keys->has("O") &&
                keys->has("U")) {
                encrypt = Object::MakeReference(reference);
                break;
            }
        }
    }
    if (encrypt.isNone()) return {Object::MakeNull(), Object::MakeNull()};
    return {encrypt, identifier.isNone() ? Object::MakeNull() : identifier};
}

void XRef::scanFile(std::vector<ScannedObject>& objects,
                    std::vector<std::pair<uint64_t, Dictionary>>& trailers,
                    std::vector<uint32_t>& objectStreams) {
    ScanWindow window(*file_);
    uint64_t lowest = start_;  // a header never reaches back before this
    for (uint64_t at = start_; window.holds(at); ++at) {
        const unsigned char c = window.at(at);
        const bool tokenStart = at == window.begin() || !IsRegular(window.at(at - 1));
        if (c == 't' && tokenStart && window.matches(at, "trailer")) {
            std::optional<Dictionary> dict = ParseDictionary(window.text(at + 7, 16 << 10));
            if (dict) trailers.emplace_back(at, std::move(*dict));
            continue;
        }
        if (c != 'o' || !window.matches(at, "obj")) continue;
        if (window.holds(at + 3) && IsRegular(window.at(at + 3))) continue;
        uint64_t number = 0, generation = 0, begin = 0;
        if (!window.holds(at) || !HeaderBefore(window, at, lowest, number, generation, begin)) {
            continue;
        }
        if (number > UINT32_MAX || generation > 65535) continue;
        objects.push_back(
            {begin, static_cast<uint32_t>(number), static_cast<uint32_t>(generation)});
        lowest = at + 3;
        // A stream's data is passed over by its Length, so that bytes in it are
        // never taken for objects; object streams and cross-reference streams
        // are noted on the way.
        const size_t keyword = StreamKeyword(window, begin);
        if (keyword == std::string::npos) continue;
        const size_t headerLength = static_cast<size_t>(at + 3 - begin);
        if (keyword < headerLength) continue;
        const std::optional<Dictionary> dict =
            ParseDictionary(window.text(at + 3, keyword - headerLength));
        if (!dict) continue;
        if (dict->is("ObjStm")) objectStreams.push_back(static_cast<uint32_t>(number));
        if (dict->is("XRef")) trailers.emplace_back(begin, *dict);
        uint64_t data = begin + keyword + 6;
        if (window.holds(data) && window.at(data) == '\r') ++data;
        if (window.holds(data) && window.at(data) == '\n') ++data;
        const Object& length = dict->get("Length");
        if (length.isInteger() && length.integer64() >= 0 &&
            data + static_cast<uint64_t>(length.integer64()) >= data) {
            const uint64_t end = data + static_cast<uint64_t>(length.integer64());
            uint64_t after = end;
            while (window.holds(after) && IsWhite(window.at(after)) && after - end < 64) ++after;
            if (window.holds(after) && window.matches(after, "endstream")) {
                at = after + 8;
                lowest = after + 9;
                continue;
            }
        }
        // A Length that is wrong or missing: the data ends where "endstream" stands.
        const uint64_t ends = FindStreamDataEnd(*file_, data).keyword;
        if (ends > at) {
            at = ends;
            lowest = ends;
        }
    }
}

void XRef::indexObjectStreams(const std::vector<uint32_t>& objectStreams,
                              const std::vector<uint64_t>& placedAt) {
    for (uint32_t number : objectStreams) {
        if (number >= entries_.size() || entries_[number].type != 1) continue;
        std::vector<int32_t> members, offsets;
        try {
            if (!openObjectStream(static_cast<int32_t>(number), members, offsets, nullptr,
                                  nullptr)) {
                continue;
            }
        } catch (const Error&) {
            continue;
        }
        const uint64_t position = placedAt[number];
        for (size_t index = 0; index < members.size(); ++index) {
            const auto member = static_cast<uint64_t>(members[index]);
            if (members[index] <= 0 || member >= kMaxEntries) continue;
            if (member >= entries_.size()) entries_.resize(member + 1);
            // A plain object written later than the object stream stays.
            const XRefEntry& current = entries_[member];
            if (current.type == 1 && member < placedAt.size() && placedAt[member] > position)
                continue;
            entries_[member] = {number, static_cast<uint32_t>(index), 2};
        }
    }
}

bool XRef::chooseTrailer(std::vector<std::pair<uint64_t, Dictionary>>& trailers) {
    std::stable_sort(trailers.begin(), trailers.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto it = trailers.rbegin(); it != trailers.rend(); ++it) {
        const Object& root = it->second.get("Root");
        if (!root.isReference() || root.reference().number == 0 ||
            definedEntry(root.reference().number) == nullptr ||
            !IsCatalog(fetch(root.reference()))) {
            continue;
        }
        trailer_ = it->second;
        return true;
    }
    return false;
}

bool XRef::trailerFromCatalog(const std::vector<uint64_t>& placedAt) {
    // Every object in file order, the last first; an object of an object
    // stream stands where its stream stands.
    std::vector<std::pair<uint64_t, int32_t>> order;
    for (size_t number = 1; number < entries_.size(); ++number) {
        const XRefEntry& entry = entries_[number];
        if (!entry.isDefined() || entry.type == 0) continue;
        const uint64_t stream = entry.type == 1 ? number : entry.offset;
        const uint64_t position = stream < placedAt.size() ? placedAt[stream] : 0;
        order.emplace_back(position, static_cast<int32_t>(number));
    }
    std::sort(order.rbegin(), order.rend());
    int32_t catalog = 0, info = 0;
    for (auto it = order.begin(); it != order.end() && (catalog == 0 || info == 0); ++it) {
        Object value;
        try {
            value = fetch({it->second,
                           static_cast<int32_t>(generationOf(static_cast<uint32_t>(it->second)))});
        } catch (const Error&) {
            continue;
        }
        const Dictionary* dict = value.dictionary();
        if (dict == nullptr) continue;
        if (catalog == 0 && dict->is("Catalog")) catalog = it->second;
        // The document information: a dictionary of its words and no type.
        if (info == 0 && !dict->has("Type") &&
            (dict->has("Producer") || dict->has("Creator") || dict->has("CreationDate"))) {
            info = it->second;
        }
    }
    if (catalog == 0) return false;
    std::vector<Dictionary::Entry> entries;
    entries.emplace_back(
        "Root", Object::MakeReference(
                    {catalog, static_cast<int32_t>(generationOf(static_cast<uint32_t>(catalog)))}));
    if (info != 0) {
        entries.emplace_back(
            "Info", Object::MakeReference(
                        {info, static_cast<int32_t>(generationOf(static_cast<uint32_t>(info)))}));
    }
    trailer_ = Dictionary(std::move(entries));
    return true;
}

}  // namespace pdf
