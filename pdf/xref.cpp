#include "pdf/xref.h"

#include <algorithm>
#include <string>

#include "base/exception.h"
#include "pdf/parser.h"

namespace {

// Keeps the numbers of the objects being fetched, innermost last, for as long
// as a fetch runs.
class FetchScope {
public:
    FetchScope(std::vector<int32_t>& fetching, int32_t number) : fetching_(fetching) {
        fetching_.push_back(number);
    }
    ~FetchScope() { fetching_.pop_back(); }
    FetchScope(const FetchScope&) = delete;
    FetchScope& operator=(const FetchScope&) = delete;

private:
    std::vector<int32_t>& fetching_;
};

// Marks an object stream as being loaded for as long as its load runs, so
// that a load leading back into the same stream can be refused.
class LoadingMark {
public:
    LoadingMark(std::set<int32_t>& loading, int32_t number) : loading_(loading), number_(number) {
        loading_.insert(number);
    }
    ~LoadingMark() { loading_.erase(number_); }
    LoadingMark(const LoadingMark&) = delete;
    LoadingMark& operator=(const LoadingMark&) = delete;

private:
    std::set<int32_t>& loading_;
    int32_t number_;
};

[[noreturn]] void Damaged() {
    throw CPdfException("PDF file was damaged");
}

}  // namespace

CPdfXRef::~CPdfXRef() = default;

void CPdfXRef::init(CPdfStream* stream, bool repair) {
    stream_ = stream;
    start_ = stream->getStart();

    try {
        readSections();
    } catch (const CPdfException&) {
        // A file that cannot be rebuilt keeps the message of what went wrong.
        if (!repair || !rebuild()) throw;
        rebuilt_ = true;
    }
    CPdfElement encrypt;
    trailer_.getDict()->lookupNF("Encrypt", encrypt);
    // Entries that point where their object is not are mended from a scan;
    // an entry whose object is nowhere in the file stays as it was listed.
    if (repair && !rebuilt_ && !encrypt.isRef() && !encrypt.isDict()) {
        rebuilt_ = repairStaleEntries();
    }
    rawObjStms_.clear();

    const CPdfDictionary* trailer = trailer_.getDict();
    CPdfElement root;
    trailer->lookupNF("Root", root);
    rootNum = root.getRefNum();
    rootGen = root.getRefGen();

    CPdfElement info;
    trailer->lookupNF("Info", info);
    if (info.isRef()) {
        infoNum = info.getRefNum();
        infoGen = info.getRefGen();
    }

    trailer->lookupNF("Encrypt", encrypt);
    if (encrypt.isRef() || encrypt.isDict()) openSecurity(encrypt);

    trailer_.getDict()->setXRef(this);
}

void CPdfXRef::openSecurity(const CPdfElement& encrypt) {
    // Only an Encrypt dictionary of its own object is read: the writer copies
    // that object as it stands.
    if (!encrypt.isRef()) throw CPdfException("PDF file is encrypted");
    const char* unreadable = "Encryption dictionary is damaged or of an unknown kind";
    CPdfElement dict;
    try {
        fetch(encrypt.getRefNum(), encrypt.getRefGen(), dict);
    } catch (const CPdfException&) {
        throw CPdfException(unreadable);
    }
    if (!dict.isDict()) throw CPdfException(unreadable);
    // The key depends on the first part of the file identifier.
    CPdfElement id, first;
    trailer_.getDict()->lookup("ID", id);
    if (id.isArray()) id.getArray()->get(0, first);
    security_ = SecurityHandler::Open(*dict.getDict(), first.isString() ? first.getText() : "");
    encryptNum = encrypt.getRefNum();
    encryptGen = encrypt.getRefGen();
}

Decryption CPdfXRef::decryptionOf(int32_t number, int32_t generation) const {
    if (security_ == nullptr || number == encryptNum) return {};
    return {security_.get(), {static_cast<uint32_t>(number), static_cast<uint32_t>(generation)}};
}

void CPdfXRef::readSections() {
    uint64_t offset = findStartXref();
    if (offset == 0) Damaged();
    // A chain that comes back to a section already read ends there.
    std::set<uint64_t> visited;
    for (;;) {
        if (!visited.insert(offset).second) break;
        uint64_t next = 0;
        if (!readXRef(offset, next)) break;
        offset = next;
    }
    const CPdfDictionary* trailer = trailer_.getDict();
    if (trailer == nullptr) Damaged();
    CPdfElement root;
    trailer->lookupNF("Root", root);
    if (!root.isRef()) Damaged();
}

uint64_t CPdfXRef::findStartXref() {
    constexpr uint32_t kTailSize = 1023;
    stream_->setPos(0, 2);
    const uint64_t size = stream_->getPos();
    stream_->setPos(static_cast<int64_t>(size > kTailSize ? size - kTailSize : 0), 0);

    std::string tail;
    tail.reserve(kTailSize);
    for (uint32_t i = 0; i < kTailSize; ++i) {
        int c = stream_->getChar();
        if (c < 0) break;
        tail += c == 0 ? ' ' : static_cast<char>(c);
    }
    size_t found = tail.rfind("startxref");
    if (found == std::string::npos) return 0;

    size_t i = found + 9;
    while (i < tail.size() && (tail[i] == ' ' || (tail[i] >= '\t' && tail[i] <= '\r'))) ++i;
    // No file comes near 20 digits; a longer number only has to stay large.
    constexpr uint64_t kTooFar = uint64_t{1} << 62;
    uint64_t value = 0;
    for (; i < tail.size() && tail[i] >= '0' && tail[i] <= '9'; ++i) {
        value = value * 10 + static_cast<uint64_t>(tail[i] - '0');
        if (value > kTooFar) return kTooFar;
    }
    return value;
}

CPdfStream* CPdfXRef::makeParserInput(uint64_t offset) {
    CPdfElement none;
    none.initNull();
    return stream_->makeSubStream(filePosition(offset), 0, none);
}

void CPdfXRef::growTo(int64_t size) {
    if (size < 0 || size > kMaxEntries) Damaged();
    if (static_cast<size_t>(size) > entries_.size()) entries_.resize(static_cast<size_t>(size));
}

bool CPdfXRef::readXRef(uint64_t offset, uint64_t& nextOffset) {
    if (filePosition(offset) == UINT64_MAX) throw CPdfException("Couldn't parse an xref");
    // No xref: references inside the section's dictionaries stay unresolved.
    CPdfParser parser(nullptr, makeParserInput(offset));
    CPdfElement first;
    parser.getObj(first);
    if (first.isCmd("xref")) return readClassicTable(parser, nextOffset);
    if (!first.isInt()) throw CPdfException("Couldn't parse an xref");

    CPdfElement generation, keyword, object;
    parser.getObj(generation);
    if (generation.isInt()) parser.getObj(keyword);
    if (keyword.isCmd("obj")) parser.getObj(object);
    if (!object.isStream()) throw CPdfException("Couldn't parse an xref stream");
    return readXRefStream(object, nextOffset);
}

bool CPdfXRef::readClassicTable(CPdfParser& parser, uint64_t& nextOffset) {
    for (;;) {
        CPdfElement first;
        parser.getObj(first);
        if (first.isCmd("trailer")) break;
        if (!first.isInt()) throw CPdfException("Couldn't parse an xref table");
        CPdfElement count;
        parser.getObj(count);
        if (!count.isInt()) throw CPdfException("Couldn't parse an xref table");
        if (first.getInt() < 0 || count.getInt() < 0) {
            throw CPdfException("Couldn't parse an xref table");
        }
        int64_t end = int64_t{first.getInt()} + count.getInt();
        if (end > kMaxEntries) Damaged();
        growTo(end);
        for (int64_t number = first.getInt(); number < end; ++number) {
            CPdfElement offset, generation, kind;
            parser.getObj(offset);
            parser.getObj(generation);
            parser.getObj(kind);
            if (!offset.isInt() || !generation.isInt() || !(kind.isCmd("n") || kind.isCmd("f"))) {
                throw CPdfException("Couldn't parse an xref table");
            }
            XRefEntry& entry = entries_[static_cast<size_t>(number)];
            if (entry.isDefined()) continue;
            entry.offset = static_cast<uint64_t>(offset.getInt64());
            entry.generation = static_cast<uint32_t>(generation.getInt());
            entry.type = kind.isCmd("n") ? 1 : 0;
        }
    }

    CPdfElement trailer;
    parser.getObj(trailer);
    if (!trailer.isDict()) throw CPdfException("Trailer dictionary is wrong type");
    if (trailer_.isNone()) trailer.copy(trailer_);

    // A hybrid file lists some objects only in the cross-reference stream its
    // classic trailer points at; they rank behind this section, before older ones.
    CPdfElement hidden;
    trailer.getDict()->lookupNF("XRefStm", hidden);
    if (hidden.isInt() && hidden.getInt64() > 0)
        readHiddenXRefStream(static_cast<uint64_t>(hidden.getInt64()));

    return readPrev(trailer.getDict(), nextOffset);
}

void CPdfXRef::readHiddenXRefStream(uint64_t offset) {
    // The classic table already makes the file readable, so a hidden stream
    // that cannot be read is passed over.
    try {
        if (filePosition(offset) == UINT64_MAX) return;
        CPdfParser parser(nullptr, makeParserInput(offset));
        CPdfElement number, generation, keyword, object;
        parser.getObj(number);
        if (!number.isInt()) return;
        parser.getObj(generation);
        if (!generation.isInt()) return;
        parser.getObj(keyword);
        if (!keyword.isCmd("obj")) return;
        parser.getObj(object);
        if (!object.isStream()) return;
        uint64_t ignoredPrev = 0;
        readXRefStream(object, ignoredPrev);
    } catch (const CPdfException&) {
    }
}

bool CPdfXRef::readPrev(const CPdfDictionary* dict, uint64_t& nextOffset) {
    CPdfElement prev;
    dict->lookupNF("Prev", prev);
    if (prev.isInt()) {
        nextOffset = static_cast<uint64_t>(prev.getInt64());
        return true;
    }
    if (prev.isRef()) {
        nextOffset = static_cast<uint64_t>(static_cast<int64_t>(prev.getRefNum()));
        return true;
    }
    return false;
}

bool CPdfXRef::readXRefStream(const CPdfElement& streamElement, uint64_t& nextOffset) {
    CPdfStream* stream = streamElement.getStream();
    CPdfDictionary* dict = stream->getDict();

    CPdfElement size;
    dict->lookupNF("Size", size);
    if (!size.isInt()) throw CPdfException("Size of xref Stream is wrong type");
    if (size.getInt() > 0) growTo(size.getInt());

    CPdfElement w;
    dict->lookupNF("W", w);
    if (!w.isArray()) throw CPdfException("W item of xref Stream is wrong type");
    if (w.getArray()->getLength() < 3) throw CPdfException("W item of xref Stream is wrong length");
    int widths[3];
    for (int k = 0; k < 3; ++k) {
        CPdfElement width;
        w.getArray()->get(k, width);
        if (!width.isInt()) throw CPdfException("W item of xref Stream is wrong type");
        widths[k] = width.getInt();
    }

    stream->reset();
    CPdfElement index;
    dict->lookupNF("Index", index);
    if (index.isArray()) {
        const CPdfArray* pairs = index.getArray();
        for (int i = 0; i < pairs->getLength() - 1; i += 2) {
            CPdfElement first, count;
            pairs->get(i, first);
            pairs->get(i + 1, count);
            if (!first.isInt() || !count.isInt()) {
                throw CPdfException("Index item of xref Stream is wrong type");
            }
            readXRefStreamSection(stream, widths, first.getInt(), count.getInt());
        }
    } else {
        readXRefStreamSection(stream, widths, 0, size.getInt());
    }

    if (trailer_.isNone()) trailer_.initDict(dict);
    return readPrev(dict, nextOffset);
}

void CPdfXRef::readXRefStreamSection(CPdfStream* stream, const int widths[3], int32_t first,
                                     int32_t count) {
    if (first < 0 || count < 0) Damaged();
    int64_t end = int64_t{first} + count;
    growTo(end);
    for (int64_t number = first; number < end; ++number) {
        uint64_t fields[3] = {0, 0, 0};
        for (int k = 0; k < 3; ++k) {
            for (int byte = 0; byte < widths[k]; ++byte) {
                int c = stream->getChar();
                if (c < 0) throw CPdfException("Unexpected EOF while reading xref stream section");
                fields[k] = (fields[k] << 8) | static_cast<uint64_t>(c);
            }
        }
        if (widths[0] == 0) fields[0] = 1;
        XRefEntry& entry = entries_[static_cast<size_t>(number)];
        if (entry.isDefined()) continue;
        if (fields[0] > 2) {
            throw CPdfException("Wrong type of xref entry while reading xref stream section");
        }
        entry.offset = fields[1];
        entry.generation = static_cast<uint32_t>(fields[2]);
        entry.type = static_cast<uint32_t>(fields[0]);
    }
}

void CPdfXRef::fetch(int32_t number, int32_t generation, CPdfElement& target) {
    target.free();
    if (number < 0 || static_cast<size_t>(number) >= entries_.size()) {
        throw CPdfException("Corrupted PDF file");
    }
    // Fetches inside a fetch (a stream's Length, an object stream) are bounded in
    // depth and in number, and an object already being fetched gives null: a
    // file whose Lengths lead back, or fan out, cannot hang the reader.
    if (fetching_.empty()) {
        nestedFetchesLeft_ = kMaxNestedFetches;
    } else if (fetching_.size() >= static_cast<size_t>(kMaxFetchDepth) || nestedFetchesLeft_ == 0 ||
               std::find(fetching_.begin(), fetching_.end(), number) != fetching_.end()) {
        target.initNull();
        return;
    } else {
        --nestedFetchesLeft_;
    }
    FetchScope scope(fetching_, number);
    const XRefEntry entry = entries_[static_cast<size_t>(number)];

    if (entry.type == 1 && entry.isDefined()) {
        if (static_cast<uint32_t>(generation) != entry.generation ||
            filePosition(entry.offset) == UINT64_MAX) {
            target.initNull();
            return;
        }
        CPdfParser parser(this, makeParserInput(entry.offset), decryptionOf(number, generation));
        CPdfElement objNumber, objGeneration, keyword;
        parser.getObj(objNumber);
        parser.getObj(objGeneration);
        parser.getObj(keyword);
        if (!objNumber.isInt() || objNumber.getInt() != number || !objGeneration.isInt() ||
            objGeneration.getInt() != generation || !keyword.isCmd("obj")) {
            target.initNull();
            return;
        }
        parser.getObj(target);
        return;
    }

    if (entry.type == 2 && entry.isDefined()) {
        // Only the object asked for is parsed, from the stream's decoded bytes.
        uint32_t length = 0;
        const unsigned char* bytes = objectStreamBytes(number, entry, length);
        if (bytes == nullptr) {
            target.initNull();
            return;
        }
        CPdfElement dict;
        dict.initNull();
        auto* input =
            new CPdfMemoryStream(std::string(reinterpret_cast<const char*>(bytes), length), dict);
        CPdfParser parser(this, input);
        parser.getObj(target);
        return;
    }

    target.initNull();
}

CPdfStream* CPdfXRef::openObjectStream(int32_t number, std::vector<int32_t>& numbers,
                                       std::vector<int32_t>& offsets, CPdfElement& holder) {
    fetch(number, 0, holder);
    CPdfStream* stream = holder.getStream();
    if (stream == nullptr) return nullptr;
    CPdfDictionary* dict = stream->getDict();
    CPdfElement n, first;
    dict->lookup("N", n);
    dict->lookup("First", first);
    if (!n.isInt() || n.getInt() <= 0 || !first.isInt() || first.getInt() < 0) return nullptr;

    CPdfElement dictElement;
    dictElement.initDict(dict);

    // The header: N pairs of object number and offset within the first First
    // bytes. A pair that is not two integers leaves the stream without objects.
    auto* header =
        new CPdfEmbedStream(stream, dictElement, true, static_cast<uint32_t>(first.getInt()));
    header->incRef();
    StreamRef headerRef(header);
    bool complete = true;
    {
        CPdfParser parser(this, header);
        for (int32_t i = 0; i < n.getInt(); ++i) {
            CPdfElement objNumber, objOffset;
            parser.getObj(objNumber);
            parser.getObj(objOffset);
            if (!objNumber.isInt() || !objOffset.isInt()) {
                complete = false;
                break;
            }
            numbers.push_back(objNumber.getInt());
            offsets.push_back(objOffset.getInt());
        }
    }
    while (header->getChar() >= 0) {
    }
    if (!complete) {
        numbers.clear();
        offsets.clear();
    }
    return stream;
}

std::unique_ptr<CPdfXRef::RawObjectStream> CPdfXRef::loadRawObjectStream(int32_t number) {
    auto loaded = std::make_unique<RawObjectStream>();
    loaded->number = number;
    LoadingMark mark(loadingObjectStreams_, number);

    CPdfElement holder;
    CPdfStream* stream = openObjectStream(number, loaded->numbers, loaded->offsets, holder);
    if (stream == nullptr) {
        loaded->numbers.clear();
        loaded->offsets.clear();
        return loaded;
    }
    constexpr size_t kChunk = 64 << 10;
    for (;;) {
        const size_t before = loaded->data.size();
        loaded->data.resize(before + kChunk);
        const size_t got = stream->read(loaded->data.data() + before, kChunk);
        loaded->data.resize(before + got);
        if (got < kChunk) break;
    }
    loaded->data.shrink_to_fit();
    return loaded;
}

const unsigned char* CPdfXRef::getObjectBytes(int32_t number, int32_t generation,
                                              uint32_t& length) {
    length = 0;
    if (number < 0 || static_cast<size_t>(number) >= entries_.size()) {
        throw CPdfException("Corrupted PDF file");
    }
    if (generation != 0) return nullptr;
    const XRefEntry entry = entries_[static_cast<size_t>(number)];
    if (entry.type != 2 || !entry.isDefined()) return nullptr;
    return objectStreamBytes(number, entry, length);
}

const unsigned char* CPdfXRef::objectStreamBytes(int32_t number, const XRefEntry& entry,
                                                 uint32_t& length) {
    length = 0;
    // A number no table can hold reads as one outside this table.
    const int32_t streamNumber = entry.offset > INT32_MAX ? -1 : static_cast<int32_t>(entry.offset);
    RawObjectStream* cached = rawObjStms_.find(streamNumber);
    if (cached == nullptr) {
        // An object stream whose loading leads back into itself gives nothing.
        if (loadingObjectStreams_.count(streamNumber) != 0) return nullptr;
        cached = rawObjStms_.insert(loadRawObjectStream(streamNumber));
    }
    const RawObjectStream& raw = *cached;
    uint32_t index = entry.generation;
    if (index >= raw.numbers.size() || raw.numbers[index] != number) return nullptr;

    int64_t begin = raw.offsets[index];
    int64_t end = index + 1 < raw.offsets.size() ? int64_t{raw.offsets[index + 1]}
                                                 : static_cast<int64_t>(raw.data.size());
    int64_t size = static_cast<int64_t>(raw.data.size());
    if (begin < 0 || begin > size) return nullptr;
    if (end > size) end = size;
    if (end < begin) end = begin;
    length = static_cast<uint32_t>(end - begin);
    return raw.data.data() + begin;
}
