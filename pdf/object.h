#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pdf {

class SecurityHandler;

// An object's number and generation as the key of its strings and streams
// depends on them.
struct ObjectId {
    uint32_t number = 0;
    uint32_t generation = 0;
};

// What a parser needs to decrypt the strings and streams of one object; a
// null handler decrypts nothing.
struct Decryption {
    const SecurityHandler* handler = nullptr;
    ObjectId id;
};

// An indirect object's number and generation.
struct Reference {
    int32_t number = 0;
    int32_t generation = 0;
    bool operator==(const Reference& other) const {
        return number == other.number && generation == other.generation;
    }
};

class Array;
class Dictionary;
struct Stream;

// One PDF value. Scalars and texts are held by value; arrays, dictionaries and
// streams are shared, never changed once parsed, so copies are cheap.
class Object {
public:
    enum class Kind : uint8_t {
        None,  // no value at all (a default-made object)
        Null,
        Boolean,
        Integer,
        Real,
        String,
        Name,
        Keyword,  // an operator or a word of the file's syntax: obj, R, stream, ...
        Array,
        Dictionary,
        Stream,
        Reference,
        Error,  // syntax the parser could not read
        End,    // no more objects
    };

    Object() noexcept : scalar_{} {}
    Object(const Object& other) : kind_(other.kind_) { constructFrom(other); }
    Object(Object&& other) noexcept : kind_(other.kind_) { constructFrom(std::move(other)); }
    Object& operator=(const Object& other) {
        if (this != &other) *this = Object(other);
        return *this;
    }
    Object& operator=(Object&& other) noexcept {
        if (this != &other) {
            destroy();
            kind_ = other.kind_;
            constructFrom(std::move(other));
        }
        return *this;
    }
    ~Object() { destroy(); }

    static Object MakeNull() { return Object(Kind::Null); }
    static Object MakeBoolean(bool value);
    static Object MakeInteger(int64_t value);
    static Object MakeReal(double value);
    // Strings keep every byte; names and keywords end at their first zero byte.
    static Object MakeString(std::string bytes);
    static Object MakeName(std::string bytes);
    static Object MakeKeyword(std::string bytes);
    static Object MakeReference(Reference reference);
    static Object MakeArray(std::shared_ptr<const Array> array);
    static Object MakeDictionary(std::shared_ptr<const Dictionary> dictionary);
    static Object MakeStream(std::shared_ptr<const Stream> stream);
    static Object MakeError() { return Object(Kind::Error); }
    static Object MakeEnd() { return Object(Kind::End); }

    Kind kind() const { return kind_; }
    bool isNone() const { return kind_ == Kind::None; }
    bool isNull() const { return kind_ == Kind::Null; }
    bool isBoolean() const { return kind_ == Kind::Boolean; }
    bool isInteger() const { return kind_ == Kind::Integer; }
    bool isReal() const { return kind_ == Kind::Real; }
    bool isNumber() const { return kind_ == Kind::Integer || kind_ == Kind::Real; }
    bool isString() const { return kind_ == Kind::String; }
    bool isName() const { return kind_ == Kind::Name; }
    bool isName(const char* name) const { return kind_ == Kind::Name && text_ == name; }
    bool isKeyword(const char* word) const { return kind_ == Kind::Keyword && text_ == word; }
    bool isArray() const { return kind_ == Kind::Array; }
    bool isDictionary() const { return kind_ == Kind::Dictionary; }
    bool isStream() const { return kind_ == Kind::Stream; }
    bool isReference() const { return kind_ == Kind::Reference; }
    bool isError() const { return kind_ == Kind::Error; }
    bool isEnd() const { return kind_ == Kind::End; }

    // Of another kind, the scalars read as zero.
    bool boolean() const { return scalar().boolean; }
    // Integers are held in 64 bits for file positions and lengths; integer()
    // gives them saturated to 32 bits, as everything else reads them.
    int64_t integer64() const { return scalar().integer; }
    int32_t integer() const;
    double real() const { return scalar().real; }
    // An integer or a real as a double.
    double number() const;
    // The bytes of a string, name or keyword; empty for any other kind.
    const std::string& text() const { return holds() == Storage::Text ? text_ : EmptyText(); }
    Reference reference() const { return scalar().reference; }
    // Null when the object is not of that kind.
    const Array* array() const;
    const Dictionary* dictionary() const;
    // The dictionary of a dictionary, or of a stream.
    const Dictionary* dictionaryOrStreamDictionary() const;
    const Stream* stream() const;

private:
    union Scalar {
        bool boolean;
        int64_t integer;
        double real;
        Reference reference;
    };
    // What a kind keeps: a scalar (or nothing), a text, or a shared container.
    // Only that one member of the union below is alive, which keeps an object
    // at 40 bytes: the name trees and arrays of a large file hold millions.
    enum class Storage : uint8_t { Scalar, Text, Container };
    static Storage StorageOf(Kind kind) {
        switch (kind) {
            case Kind::String:
            case Kind::Name:
            case Kind::Keyword:
                return Storage::Text;
            case Kind::Array:
            case Kind::Dictionary:
            case Kind::Stream:
                return Storage::Container;
            default:
                return Storage::Scalar;
        }
    }
    static const std::string& EmptyText();

    explicit Object(Kind kind) : kind_(kind), scalar_{} {}
    Object(Kind kind, std::string text) : kind_(kind), text_(std::move(text)) {}
    Object(Kind kind, std::shared_ptr<const void> container)
        : kind_(kind), container_(std::move(container)) {}

    Storage holds() const { return StorageOf(kind_); }
    Scalar scalar() const { return holds() == Storage::Scalar ? scalar_ : Scalar{}; }
    template <typename Other>
    void constructFrom(Other&& other) {
        switch (holds()) {
            case Storage::Text:
                new (&text_) std::string(std::forward<Other>(other).text_);
                break;
            case Storage::Container:
                new (&container_)
                    std::shared_ptr<const void>(std::forward<Other>(other).container_);
                break;
            case Storage::Scalar:
                scalar_ = other.scalar_;
                break;
        }
    }
    void destroy() {
        switch (holds()) {
            case Storage::Text:
                text_.~basic_string();
                break;
            case Storage::Container:
                container_.~shared_ptr();
                break;
            case Storage::Scalar:
                break;
        }
    }

    Kind kind_ = Kind::None;
    union {
        Scalar scalar_;
        std::string text_;
        std::shared_ptr<const void> container_;
    };
};

class Array {
public:
    Array() = default;
    explicit Array(std::vector<Object> items) : items_(std::move(items)) {}

    size_t size() const { return items_.size(); }
    // An index outside the array gives null.
    const Object& at(size_t index) const;
    const std::vector<Object>& items() const { return items_; }

private:
    std::vector<Object> items_;
};

// Keys ordered byte by byte; the first occurrence of a key is the one kept.
class Dictionary {
public:
    using Entry = std::pair<std::string, Object>;

    Dictionary() = default;
    // Entries in the order the file gives them.
    explicit Dictionary(std::vector<Entry> entries);

    // A missing key gives null.
    const Object& get(std::string_view key) const;
    bool has(std::string_view key) const;
    // Whether the Type entry, as it stands, is this name.
    bool is(const char* type) const { return get("Type").isName(type); }
    const std::vector<Entry>& entries() const { return entries_; }

private:
    std::vector<Entry> entries_;
};

// Where a stream's data lies in the file, and how its bytes are protected:
// the data is read and decoded only when asked for (XRef::streamData).
struct Stream {
    Dictionary dictionary;
    uint64_t dataOffset = 0;  // in the file
    uint64_t dataLength = 0;  // as the Length says, up to the end of the file
    Decryption decryption;
};

// The null every lookup that finds nothing gives.
const Object& NullObject();

// Whether a value may be a document catalog: a dictionary that names pages
// or an outline, or whose Type, if it has one, is Catalog. A page or another
// typed dictionary that names neither is not.
bool IsCatalog(const Object& value);

// A direct value as PDF text, for carrying a parsed value into a new file:
// strings in hexadecimal so that their bytes stay exactly as they were.
// A stream, or anything the parser could not read, is written as null.
std::string ValueText(const Object& value);

}  // namespace pdf
