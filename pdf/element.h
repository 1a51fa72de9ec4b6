#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CPdfXRef;
class CPdfStream;
class CPdfArray;
class CPdfDictionary;

// Kinds of PDF values; several readers test the numbers directly.
enum PdfKind : uint32_t {
    pdfBool = 0,
    pdfInt = 1,
    pdfReal = 2,
    pdfString = 3,
    pdfName = 4,
    pdfNull = 5,
    pdfArray = 6,
    pdfDict = 7,
    pdfStream = 8,
    pdfRef = 9,
    pdfCmd = 10,
    pdfError = 11,
    pdfEOF = 12,
    pdfNone = 13,
};

// One PDF value. Scalars are held inline, texts are owned, arrays,
// dictionaries and streams are shared through their reference counts.
// Operations that produce a value write it into a caller-supplied element.
class CPdfElement {
public:
    CPdfElement() = default;
    CPdfElement(const CPdfElement& other) { other.copy(*this); }
    CPdfElement(CPdfElement&& other) noexcept;
    CPdfElement& operator=(const CPdfElement& other);
    CPdfElement& operator=(CPdfElement&& other) noexcept;
    ~CPdfElement() { free(); }

    void initBool(bool value);
    void initInt(int64_t value);
    void initReal(double value);
    // Strings keep every byte, zero bytes included.
    void initString(std::string bytes);
    // Names and keywords end at their first zero byte.
    void initName(std::string text);
    void initCmd(std::string text);
    void initNull() { setKind(pdfNull); }
    void initRef(int32_t number, int32_t generation);
    void initError() { setKind(pdfError); }
    void initEOF() { setKind(pdfEOF); }
    void initArray(CPdfXRef* xref);
    void initDict(CPdfXRef* xref);
    void initDict(CPdfDictionary* dict);
    void initStream(CPdfStream* stream);

    // Shares containers and streams, copies texts and scalars.
    void copy(CPdfElement& target) const;
    void free();
    // Resolves a reference through xref; anything else is copied.
    void fetch(CPdfXRef* xref, CPdfElement& target) const;

    PdfKind getKind() const { return kind_; }
    bool isBool() const { return kind_ == pdfBool; }
    bool isInt() const { return kind_ == pdfInt; }
    bool isReal() const { return kind_ == pdfReal; }
    bool isNum() const { return kind_ == pdfInt || kind_ == pdfReal; }
    bool isString() const { return kind_ == pdfString; }
    bool isName() const { return kind_ == pdfName; }
    bool isNull() const { return kind_ == pdfNull; }
    bool isArray() const { return kind_ == pdfArray; }
    bool isDict() const { return kind_ == pdfDict; }
    bool isStream() const { return kind_ == pdfStream; }
    bool isRef() const { return kind_ == pdfRef; }
    bool isCmd() const { return kind_ == pdfCmd; }
    bool isCmd(const char* text) const { return kind_ == pdfCmd && text_ == text; }
    bool isName(const char* text) const { return kind_ == pdfName && text_ == text; }
    bool isError() const { return kind_ == pdfError; }
    bool isEOF() const { return kind_ == pdfEOF; }
    bool isNone() const { return kind_ == pdfNone; }

    bool getBool() const { return value_.boolean; }
    // Integers are held in 64 bits for file positions and lengths; everything
    // else reads them saturated to 32 bits.
    int32_t getInt() const {
        return static_cast<int32_t>(
            value_.integer < INT32_MIN ? INT32_MIN
                                       : (value_.integer > INT32_MAX ? INT32_MAX : value_.integer));
    }
    int64_t getInt64() const { return value_.integer; }
    double getReal() const { return value_.real; }
    // An integer or a real as a double.
    double getNum() const { return kind_ == pdfInt ? getInt() : value_.real; }
    // The bytes of a string, name or keyword.
    const std::string& getText() const { return text_; }
    // Moves the bytes out, leaving the element without a value.
    std::string takeText() {
        std::string text = std::move(text_);
        free();
        return text;
    }
    int32_t getRefNum() const { return value_.ref.number; }
    int32_t getRefGen() const { return value_.ref.generation; }
    CPdfArray* getArray() const { return kind_ == pdfArray ? value_.array : nullptr; }
    CPdfDictionary* getDict() const { return kind_ == pdfDict ? value_.dict : nullptr; }
    CPdfStream* getStream() const { return kind_ == pdfStream ? value_.stream : nullptr; }

private:
    void setKind(PdfKind kind);

    PdfKind kind_ = pdfNone;
    union {
        bool boolean;
        int64_t integer;
        double real;
        struct {
            int32_t number;
            int32_t generation;
        } ref;
        CPdfArray* array;
        CPdfDictionary* dict;
        CPdfStream* stream;
    } value_{};
    std::string text_;
};

// An array of elements, shared between elements by a plain reference count.
class CPdfArray {
public:
    explicit CPdfArray(CPdfXRef* xref) : xref_(xref) {}
    virtual ~CPdfArray() = default;
    CPdfArray(const CPdfArray&) = delete;
    CPdfArray& operator=(const CPdfArray&) = delete;

    void incRef() { ++refCount_; }
    // Destroys the array when the last share is released.
    void decRef();
    uint32_t getRefCount() const { return refCount_; }

    void add(const CPdfElement& element) { elements_.push_back(element); }
    void add(CPdfElement&& element) { elements_.push_back(std::move(element)); }
    int getLength() const { return static_cast<int>(elements_.size()); }
    // An index outside the array gives pdfNull.
    void get(int index, CPdfElement& target) const;
    void getNF(int index, CPdfElement& target) const;
    CPdfXRef* getXRef() const { return xref_; }

private:
    uint32_t refCount_ = 1;
    CPdfXRef* xref_;
    std::vector<CPdfElement> elements_;
};

// A dictionary: keys ordered byte by byte, the first occurrence of a key wins.
class CPdfDictionary {
public:
    explicit CPdfDictionary(CPdfXRef* xref) : xref_(xref) {}
    virtual ~CPdfDictionary() = default;
    CPdfDictionary(const CPdfDictionary&) = delete;
    CPdfDictionary& operator=(const CPdfDictionary&) = delete;

    void incRef() { ++refCount_; }
    void decRef();
    uint32_t getRefCount() const { return refCount_; }

    void add(std::string key, const CPdfElement& element);
    void add(std::string key, CPdfElement&& element);
    // A missing key gives pdfNull.
    void lookup(const std::string& key, CPdfElement& target) const;
    void lookupNF(const std::string& key, CPdfElement& target) const;
    bool has(const std::string& key) const { return find(key) != nullptr; }
    // True when the stored (unresolved) Type entry is exactly this name.
    bool is(const std::string& typeName) const;
    void setXRef(CPdfXRef* xref) { xref_ = xref; }
    CPdfXRef* getXRef() const { return xref_; }
    int getLength() const { return static_cast<int>(entries_.size()); }
    using Entry = std::pair<std::string, CPdfElement>;
    // Ordered by key, byte by byte.
    const std::vector<Entry>& getEntries() const { return entries_; }

private:
    const CPdfElement* find(const std::string& key) const;

    uint32_t refCount_ = 1;
    CPdfXRef* xref_;
    // Dictionaries are small: a sorted vector beats a tree of nodes.
    std::vector<Entry> entries_;
};
