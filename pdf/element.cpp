#include "pdf/element.h"

#include <algorithm>

#include "pdf/stream.h"
#include "pdf/xref.h"

CPdfElement::CPdfElement(CPdfElement&& other) noexcept
    : kind_(other.kind_), value_(other.value_), text_(std::move(other.text_)) {
    other.kind_ = pdfNone;
}

CPdfElement& CPdfElement::operator=(const CPdfElement& other) {
    if (this != &other) {
        free();
        other.copy(*this);
    }
    return *this;
}

CPdfElement& CPdfElement::operator=(CPdfElement&& other) noexcept {
    if (this != &other) {
        free();
        kind_ = other.kind_;
        value_ = other.value_;
        text_ = std::move(other.text_);
        other.kind_ = pdfNone;
    }
    return *this;
}

void CPdfElement::setKind(PdfKind kind) {
    free();
    kind_ = kind;
}

void CPdfElement::initBool(bool value) {
    setKind(pdfBool);
    value_.boolean = value;
}

void CPdfElement::initInt(int64_t value) {
    setKind(pdfInt);
    value_.integer = value;
}

void CPdfElement::initReal(double value) {
    setKind(pdfReal);
    value_.real = value;
}

void CPdfElement::initString(std::string bytes) {
    setKind(pdfString);
    text_ = std::move(bytes);
}

static std::string UpToFirstZero(std::string text) {
    const size_t zero = text.find('\0');
    if (zero != std::string::npos) text.resize(zero);
    return text;
}

void CPdfElement::initName(std::string text) {
    setKind(pdfName);
    text_ = UpToFirstZero(std::move(text));
}

void CPdfElement::initCmd(std::string text) {
    setKind(pdfCmd);
    text_ = UpToFirstZero(std::move(text));
}

void CPdfElement::initRef(int32_t number, int32_t generation) {
    setKind(pdfRef);
    value_.ref.number = number;
    value_.ref.generation = generation;
}

void CPdfElement::initArray(CPdfXRef* xref) {
    setKind(pdfArray);
    value_.array = new CPdfArray(xref);
}

void CPdfElement::initDict(CPdfXRef* xref) {
    setKind(pdfDict);
    value_.dict = new CPdfDictionary(xref);
}

void CPdfElement::initDict(CPdfDictionary* dict) {
    setKind(pdfDict);
    dict->incRef();
    value_.dict = dict;
}

void CPdfElement::initStream(CPdfStream* stream) {
    setKind(pdfStream);
    stream->incRef();
    value_.stream = stream;
}

void CPdfElement::copy(CPdfElement& target) const {
    if (&target == this) return;
    target.free();
    target.kind_ = kind_;
    target.value_ = value_;
    switch (kind_) {
        case pdfString:
        case pdfName:
        case pdfCmd:
            target.text_ = text_;
            break;
        case pdfArray:
            value_.array->incRef();
            break;
        case pdfDict:
            value_.dict->incRef();
            break;
        case pdfStream:
            value_.stream->incRef();
            break;
        default:
            break;
    }
}

void CPdfElement::free() {
    switch (kind_) {
        case pdfString:
        case pdfName:
        case pdfCmd:
            text_.clear();
            break;
        case pdfArray:
            value_.array->decRef();
            break;
        case pdfDict:
            value_.dict->decRef();
            break;
        case pdfStream:
            value_.stream->decRef();
            break;
        default:
            break;
    }
    kind_ = pdfNone;
    value_ = {};
}

void CPdfElement::fetch(CPdfXRef* xref, CPdfElement& target) const {
    if (kind_ == pdfRef && xref != nullptr) {
        xref->fetch(value_.ref.number, value_.ref.generation, target);
    } else {
        copy(target);
    }
}

void CPdfArray::decRef() {
    if (--refCount_ == 0) delete this;
}

void CPdfArray::get(int index, CPdfElement& target) const {
    if (index < 0 || index >= getLength()) {
        target.initNull();
        return;
    }
    elements_[static_cast<size_t>(index)].fetch(xref_, target);
}

void CPdfArray::getNF(int index, CPdfElement& target) const {
    if (index < 0 || index >= getLength()) {
        target.initNull();
        return;
    }
    elements_[static_cast<size_t>(index)].copy(target);
}

void CPdfDictionary::decRef() {
    if (--refCount_ == 0) delete this;
}

namespace {

bool KeyBefore(const CPdfDictionary::Entry& entry, const std::string& key) {
    return entry.first < key;
}

}  // namespace

void CPdfDictionary::add(std::string key, const CPdfElement& element) {
    add(std::move(key), CPdfElement(element));
}

void CPdfDictionary::add(std::string key, CPdfElement&& element) {
    auto at = std::lower_bound(entries_.begin(), entries_.end(), key, KeyBefore);
    if (at != entries_.end() && at->first == key) return;  // the first value of a key stays
    entries_.emplace(at, std::move(key), std::move(element));
}

const CPdfElement* CPdfDictionary::find(const std::string& key) const {
    auto at = std::lower_bound(entries_.begin(), entries_.end(), key, KeyBefore);
    return at != entries_.end() && at->first == key ? &at->second : nullptr;
}

void CPdfDictionary::lookup(const std::string& key, CPdfElement& target) const {
    const CPdfElement* found = find(key);
    if (found == nullptr) {
        target.initNull();
        return;
    }
    found->fetch(xref_, target);
}

void CPdfDictionary::lookupNF(const std::string& key, CPdfElement& target) const {
    const CPdfElement* found = find(key);
    if (found == nullptr) {
        target.initNull();
        return;
    }
    found->copy(target);
}

bool CPdfDictionary::is(const std::string& typeName) const {
    const CPdfElement* found = find("Type");
    return found != nullptr && found->isName() && found->getText() == typeName;
}
