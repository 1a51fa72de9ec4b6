// Rebuilding a damaged cross-reference table by scanning the file for the
// objects it holds, as readers of damaged files commonly do.
#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "base/exception.h"
#include "pdf/characters.h"
#include "pdf/parser.h"
#include "pdf/raw_object.h"
#include "pdf/xref.h"

namespace {

constexpr size_t kWindow = 1 << 20;
// Headers, dictionaries and trailers longer than this are not looked at whole.
constexpr size_t kLookAhead = 64 << 10;

bool IsRegularByte(unsigned char c) {
    return !IsPdfWhite(c) && !IsPdfDelimiter(c);
}

// The file's bytes from a position on, a window at a time: every position can
// see kLookAhead bytes ahead (unless the file ends first) and kLookBack behind.
class ScanWindow {
public:
    static constexpr uint64_t kLookBack = 256;

    explicit ScanWindow(CPdfStream& file) : file_(file) {}

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
        file_.setPos(static_cast<int64_t>(std::min<uint64_t>(start_, INT64_MAX)), 0);
        const size_t got =
            file_.read(reinterpret_cast<unsigned char*>(bytes_.data()), bytes_.size());
        bytes_.resize(got);
        atEnd_ = got < kWindow + kLookAhead;
    }

    CPdfStream& file_;
    uint64_t start_ = 0;
    std::string bytes_;
    bool atEnd_ = false;
};

// "N G obj" ending just before `obj` (the position of its "o"), read backwards
// no further than lowest: the object number and generation, and where the
// header begins.
bool HeaderBefore(const ScanWindow& window, uint64_t obj, uint64_t lowest, uint64_t& number,
                  uint64_t& generation, uint64_t& begin) {
    lowest = std::max(lowest, window.begin());
    uint64_t at = obj;
    auto skipWhiteBack = [&]() {
        const uint64_t from = at;
        while (at > lowest && IsPdfWhite(window.at(at - 1))) --at;
        return at < from;
    };
    auto readNumberBack = [&](uint64_t& value) {
        const uint64_t end = at;
        while (at > lowest && end - at < 10 && IsDecimalDigit(window.at(at - 1))) --at;
        if (at == end) return false;
        value = 0;
        for (uint64_t k = at; k < end; ++k) value = value * 10 + (window.at(k) - '0');
        return true;
    };
    if (!skipWhiteBack() || !readNumberBack(generation) || !skipWhiteBack() ||
        !readNumberBack(number)) {
        return false;
    }
    // The number must start a token: a longer run of digits is something else.
    if (at > lowest && IsRegularByte(window.at(at - 1))) return false;
    begin = at;
    return true;
}

// Where an object's "stream" keyword begins, counted from the header, or
// npos for an object that is not a stream (or too long to tell).
size_t StreamKeyword(const ScanWindow& window, uint64_t begin) {
    for (size_t want : {size_t{1} << 10, kLookAhead}) {
        const std::string bytes = window.text(begin, want);
        bool isStream = false;
        const size_t found = ScanTokens(bytes, isStream);
        if (found != std::string::npos) return isStream ? found : std::string::npos;
        if (bytes.size() < want) break;
    }
    return std::string::npos;
}

// Parses the first object of some text with no table: references stay unresolved.
CPdfElement ParseText(const std::string& text) {
    CPdfElement none, value;
    none.initNull();
    CPdfParser parser(nullptr, new CPdfMemoryStream(text, none));
    parser.getObj(value);
    return value;
}

}  // namespace

// One object met in the scan, at its place in the file.
struct CPdfXRef::ScannedObject {
    uint64_t position;  // from the start of the file
    uint32_t number;
    uint32_t generation;
};

std::vector<uint32_t> CPdfXRef::staleEntries() {
    std::vector<uint32_t> stale;
    unsigned char head[64];
    for (size_t number = 1; number < entries_.size(); ++number) {
        const XRefEntry& entry = entries_[number];
        if (entry.type != 1 || !entry.isDefined()) continue;
        const uint64_t position = filePosition(entry.offset);
        size_t got = 0;
        if (position != UINT64_MAX) {
            stream_->setPos(static_cast<int64_t>(std::min<uint64_t>(position, INT64_MAX)), 0);
            got = stream_->read(head, sizeof head);
        }
        if (!StartsWithHeader(std::string(reinterpret_cast<char*>(head), got),
                              static_cast<uint32_t>(number), entry.generation)) {
            stale.push_back(static_cast<uint32_t>(number));
        }
    }
    return stale;
}

bool CPdfXRef::repairStaleEntries() {
    const std::vector<uint32_t> stale = staleEntries();
    if (stale.empty()) return false;
    std::vector<ScannedObject> objects;
    std::vector<std::pair<uint64_t, CPdfElement>> trailers;
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

bool CPdfXRef::rebuild() {
    std::vector<ScannedObject> objects;
    std::vector<std::pair<uint64_t, CPdfElement>> trailers;  // position, dictionary
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
    CPdfElement previousTrailer = std::move(trailer_);
    entries_ = std::move(rebuilt);
    trailer_.free();

    indexObjectStreams(objectStreams, placedAt);
    if (chooseTrailer(trailers) || trailerFromCatalog(placedAt)) {
        // An encrypted file is not rebuilt: its objects cannot be read anyway.
        CPdfElement encrypt;
        trailer_.getDict()->lookupNF("Encrypt", encrypt);
        if (!encrypt.isRef() && !encrypt.isDict()) return true;
    }
    rawObjStms_.clear();
    entries_ = std::move(previous);
    trailer_ = std::move(previousTrailer);
    return false;
}

void CPdfXRef::scanFile(std::vector<ScannedObject>& objects,
                        std::vector<std::pair<uint64_t, CPdfElement>>& trailers,
                        std::vector<uint32_t>& objectStreams) {
    ScanWindow window(*stream_);
    uint64_t lowest = start_;  // a header never reaches back before this
    for (uint64_t at = start_; window.holds(at); ++at) {
        const unsigned char c = window.at(at);
        const bool tokenStart = at == window.begin() || !IsRegularByte(window.at(at - 1));
        if (c == 't' && tokenStart && window.matches(at, "trailer")) {
            CPdfElement dict = ParseText(window.text(at + 7, 16 << 10));
            if (dict.isDict()) trailers.emplace_back(at, std::move(dict));
            continue;
        }
        if (c != 'o' || !window.matches(at, "obj")) continue;
        if (window.holds(at + 3) && IsRegularByte(window.at(at + 3))) continue;
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
        CPdfElement value = ParseText(window.text(at + 3, keyword - headerLength));
        const CPdfDictionary* dict = value.getDict();
        if (dict == nullptr) continue;
        if (dict->is("ObjStm")) objectStreams.push_back(static_cast<uint32_t>(number));
        if (dict->is("XRef")) trailers.emplace_back(begin, value);
        CPdfElement length;
        dict->lookupNF("Length", length);
        if (!length.isInt() || length.getInt64() < 0) continue;
        uint64_t data = begin + keyword + 6;
        if (window.holds(data) && window.at(data) == '\r') ++data;
        if (window.holds(data) && window.at(data) == '\n') ++data;
        const uint64_t end = data + static_cast<uint64_t>(length.getInt64());
        if (end < data) continue;
        uint64_t after = end;
        while (window.holds(after) && IsPdfWhite(window.at(after)) && after - end < 64) ++after;
        if (window.holds(after) && window.matches(after, "endstream")) {
            at = after + 8;
            lowest = after + 9;
        }
    }
}

void CPdfXRef::indexObjectStreams(const std::vector<uint32_t>& objectStreams,
                                  const std::vector<uint64_t>& placedAt) {
    for (uint32_t number : objectStreams) {
        if (number >= entries_.size() || entries_[number].type != 1) continue;
        std::vector<int32_t> members, offsets;
        CPdfElement holder;
        try {
            if (openObjectStream(static_cast<int32_t>(number), members, offsets, holder) ==
                nullptr) {
                continue;
            }
        } catch (const CPdfException&) {
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

bool CPdfXRef::chooseTrailer(std::vector<std::pair<uint64_t, CPdfElement>>& trailers) {
    std::stable_sort(trailers.begin(), trailers.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto it = trailers.rbegin(); it != trailers.rend(); ++it) {
        CPdfElement root;
        it->second.getDict()->lookupNF("Root", root);
        if (!root.isRef() || root.getRefNum() <= 0 ||
            static_cast<size_t>(root.getRefNum()) >= entries_.size() ||
            !entries_[static_cast<size_t>(root.getRefNum())].isDefined()) {
            continue;
        }
        it->second.copy(trailer_);
        return true;
    }
    return false;
}

bool CPdfXRef::trailerFromCatalog(const std::vector<uint64_t>& placedAt) {
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
        CPdfElement value;
        try {
            fetch(it->second, static_cast<int32_t>(generationOf(it->second)), value);
        } catch (const CPdfException&) {
            continue;
        }
        const CPdfDictionary* dict = value.getDict();
        if (dict == nullptr) continue;
        if (catalog == 0 && dict->is("Catalog")) catalog = it->second;
        // The document information: a dictionary of its words and no type.
        if (info == 0 && !dict->has("Type") &&
            (dict->has("Producer") || dict->has("Creator") || dict->has("CreationDate"))) {
            info = it->second;
        }
    }
    if (catalog == 0) return false;
    trailer_.initDict(static_cast<CPdfXRef*>(nullptr));
    CPdfElement reference;
    reference.initRef(catalog, static_cast<int32_t>(generationOf(catalog)));
    trailer_.getDict()->add("Root", reference);
    if (info != 0) {
        reference.initRef(info, static_cast<int32_t>(generationOf(info)));
        trailer_.getDict()->add("Info", reference);
    }
    return true;
}
