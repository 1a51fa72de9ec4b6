#include "pdf/object.h"

#include <algorithm>
#include <cstdio>

#include "pdf/lexer.h"

namespace pdf {

namespace {

std::string UpToFirstZero(std::string text) {
    const size_t zero = text.find('\0');
    if (zero != std::string::npos) text.resize(zero);
    return text;
}

}  // namespace

const std::string& Object::EmptyText() {
    static const std::string kEmpty;
    return kEmpty;
}

Object Object::MakeBoolean(bool value) {
    Object object(Kind::Boolean);
    object.scalar_.boolean = value;
    return object;
}

Object Object::MakeInteger(int64_t value) {
    Object object(Kind::Integer);
    object.scalar_.integer = value;
    return object;
}

Object Object::MakeReal(double value) {
    Object object(Kind::Real);
    object.scalar_.real = value;
    return object;
}

Object Object::MakeString(std::string bytes) {
    return Object(Kind::String, std::move(bytes));
}

Object Object::MakeName(std::string bytes) {
    return Object(Kind::Name, UpToFirstZero(std::move(bytes)));
}

Object Object::MakeKeyword(std::string bytes) {
    return Object(Kind::Keyword, UpToFirstZero(std::move(bytes)));
}

Object Object::MakeReference(Reference reference) {
    Object object(Kind::Reference);
    object.scalar_.reference = reference;
    return object;
}

Object Object::MakeArray(std::shared_ptr<const Array> array) {
    return Object(Kind::Array, std::shared_ptr<const void>(std::move(array)));
}

Object Object::MakeDictionary(std::shared_ptr<const Dictionary> dictionary) {
    return Object(Kind::Dictionary, std::shared_ptr<const void>(std::move(dictionary)));
}

Object Object::MakeStream(std::shared_ptr<const Stream> stream) {
    return Object(Kind::Stream, std::shared_ptr<const void>(std::move(stream)));
}

int32_t Object::integer() const {
    constexpr int64_t kLow = std::numeric_limits<int32_t>::min();
    constexpr int64_t kHigh = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::clamp(integer64(), kLow, kHigh));
}

double Object::number() const {
    return kind_ == Kind::Integer ? integer() : real();
}

const Array* Object::array() const {
    return kind_ == Kind::Array ? static_cast<const Array*>(container_.get()) : nullptr;
}

const Dictionary* Object::dictionary() const {
    return kind_ == Kind::Dictionary ? static_cast<const Dictionary*>(container_.get()) : nullptr;
}

const Dictionary* Object::dictionaryOrStreamDictionary() const {
    if (kind_ == Kind::Stream) return &static_cast<const Stream*>(container_.get())->dictionary;
    return dictionary();
}

const Stream* Object::stream() const {
    return kind_ == Kind::Stream ? static_cast<const Stream*>(container_.get()) : nullptr;
}

const Object& Array::at(size_t index) const {
    return index < items_.size() ? items_[index] : NullObject();
}

Dictionary::Dictionary(std::vector<Entry> entries) : entries_(std::move(entries)) {
    // Sorted by key with the file's order kept among equal keys, so that the
    // first of a key that stands twice is the one left. Most dictionaries are
    // small, and sorted in place without a buffer; a large one is not left
    // to a sort that takes the square of its size.
    const auto byKey = [](const Entry& a, const Entry& b) { return a.first < b.first; };
    constexpr size_t kSmall = 16;
    if (entries_.size() > kSmall) {
        std::stable_sort(entries_.begin(), entries_.end(), byKey);
    } else {
        for (size_t i = 1; i < entries_.size(); ++i) {
            size_t k = i;
            if (!byKey(entries_[i], entries_[k - 1])) continue;
            Entry moving = std::move(entries_[i]);
            for (; k > 0 && byKey(moving, entries_[k - 1]); --k) {
                entries_[k] = std::move(entries_[k - 1]);
            }
            entries_[k] = std::move(moving);
        }
    }
    entries_.erase(std::unique(entries_.begin(), entries_.end(),
                               [](const Entry& a, const Entry& b) { return a.first == b.first; }),
                   entries_.end());
}

namespace {

// The entry of a key, or the end.
std::vector<Dictionary::Entry>::const_iterator FindKey(
    const std::vector<Dictionary::Entry>& entries, std::string_view key) {
    // Most dictionaries are a handful of keys, found faster one by one.
    constexpr size_t kFew = 8;
    if (entries.size() <= kFew) {
        return std::find_if(entries.begin(), entries.end(),
                            [key](const Dictionary::Entry& entry) { return entry.first == key; });
    }
    const auto at = std::lower_bound(
        entries.begin(), entries.end(), key,
        [](const Dictionary::Entry& entry, std::string_view value) { return entry.first < value; });
    return at != entries.end() && at->first == key ? at : entries.end();
}

}  // namespace

const Object& Dictionary::get(std::string_view key) const {
    const auto at = FindKey(entries_, key);
    return at != entries_.end() ? at->second : NullObject();
}

bool Dictionary::has(std::string_view key) const {
    return FindKey(entries_, key) != entries_.end();
}

const Object& NullObject() {
    static const Object kNull = Object::MakeNull();
    return kNull;
}

namespace {

// A real with up to ten decimals and no exponent, which PDF has no syntax for.
std::string RealText(double value) {
    char text[512];
    std::snprintf(text, sizeof text, "%.10f", value);
    std::string out = text;
    if (out.find('.') != std::string::npos) {
        out.erase(out.find_last_not_of('0') + 1);
        if (out.back() == '.') out.pop_back();
    }
    return out == "-0" ? "0" : out;
}

}  // namespace

bool IsCatalog(const Object& value) {
    const Dictionary* dict = value.dictionary();
    if (dict == nullptr) return false;
    if (dict->has("Pages") || dict->has("Outlines")) return true;
    return !dict->has("Type") || dict->is("Catalog");
}

std::string ValueText(const Object& value) {
    switch (value.kind()) {
        case Object::Kind::Boolean:
            return value.boolean() ? "true" : "false";
        case Object::Kind::Integer:
            return std::to_string(value.integer64());
        case Object::Kind::Real:
            return RealText(value.real());
        case Object::Kind::String:
            return HexStringToken(value.text());
        case Object::Kind::Name:
            return NameToken(value.text());
        case Object::Kind::Keyword:
            return value.text();
        case Object::Kind::Reference:
            return std::to_string(value.reference().number) + " " +
                   std::to_string(value.reference().generation) + " R";
        case Object::Kind::Array: {
            std::string text = "[";
            for (const Object& item : value.array()->items()) {
                text += (text.size() > 1 ? " " : "") + ValueText(item);
            }
            return text + "]";
        }
        case Object::Kind::Dictionary: {
            std::string text = "<<";
            for (const auto& [key, item] : value.dictionary()->entries()) {
                text += NameToken(key) + " " + ValueText(item);
            }
            return text + ">>";
        }
        default:
            return "null";
    }
}

}  // namespace pdf
