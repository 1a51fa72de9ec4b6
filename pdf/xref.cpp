#include "pdf/xref.h"

#include <algorithm>
#include <string>

#include "base/error.h"
#include "pdf/lexer.h"
#include "pdf/parser.h"

namespace pdf {

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
    throw Error("PDF file was damaged");
}

}  // namespace

XRef::XRef(std::shared_ptr<ByteSource> file, uint64_t start)
    : file_(std::move(file)), start_(start) {
    resolver_ = [this](const Object& value) { return resolve(value); };
}

void XRef::init(bool repair, const std::string& password) {
    try {
        readSections();
    } catch (const Error&) {
        // A file that cannot be rebuilt keeps the message of what went wrong.
        if (!repair || !rebuild(password)) throw;
        rebuilt_ = true;
    }
    // Entries that point where their object is not are mended from a scan;
    // an entry whose object is nowhere in the file stays as it was listed.
    if (repair && !rebuilt_) rebuilt_ = repairStaleEntries();
    adoptTrailer(password);
}

bool XRef::rebuildAnyway(const std::string& password) {
    if (rebuilt_) return false;
    security_.reset();
    encrypt_ = {};
    if (!rebuild(password)) return false;
    rebuilt_ = true;
    adoptTrailer(password);
    return true;
}

void XRef::adoptTrailer(const std::string& password) {
    rawObjStms_.clear();
    root_ = trailer_.get("Root").reference();
    const Object& info = trailer_.get("Info");
    if (info.isReference()) info_ = info.reference();
    const Object& encrypt = trailer_.get("Encrypt");
    if (security_ == nullptr && (encrypt.isReference() || encrypt.isDictionary())) {
        openSecurity(encrypt, trailer_.get("ID"), password);
    }
}

void XRef::openSecurity(const Object& encrypt, const Object& identifier,
                        const std::string& password) {
    const char* unreadable = "Encryption dictionary is damaged or of an unknown kind";
    // The dictionary stands in an object of its own, or in the trailer itself.
    Object dict = encrypt;
    if (encrypt.isReference()) {
        try {
            dict = fetch(encrypt.reference());
        } catch (const Error&) {
            throw Error(unreadable);
        }
    }
    if (!dict.isDictionary()) throw Error(unreadable);
    // The key depends on the first part of the file identifier.
    const Object id = resolve(identifier);
    const Object first = id.isArray() ? resolve(id.array()->at(0)) : Object();
    security_ = SecurityHandler::Open(*dict.dictionary(), first.isString() ? first.text() : "",
                                      resolver_, password);
    if (encrypt.isReference()) encrypt_ = encrypt.reference();
}

Decryption XRef::decryptionOf(Reference reference) const {
    if (security_ == nullptr || reference.number == encrypt_.number) return {};
    return {security_.get(),
            {static_cast<uint32_t>(reference.number), static_cast<uint32_t>(reference.generation)}};
}

void XRef::readSections() {
    uint64_t offset = findStartXref();
    if (offset == 0) Damaged();
    std::set<uint64_t> visited;
    for (;;) {
        // A chain that comes back to a section already read is damaged: the
        // table is rebuilt.
        if (!visited.insert(offset).second) Damaged();
        uint64_t next = 0;
        if (!readXRef(offset, next)) break;
        offset = next;
    }
    if (!haveTrailer_) Damaged();
    if (!trailer_.get("Root").isReference()) Damaged();
}

uint64_t XRef::findStartXref() {
    constexpr uint64_t kTailSize = 1023;
    const uint64_t size = file_->size();
    std::string tail = file_->bytes(size > kTailSize ? size - kTailSize : 0, kTailSize);
    std::replace(tail.begin(), tail.end(), '\0', ' ');
    const size_t found = tail.rfind("startxref");
    if (found == std::string::npos) return 0;

    size_t i = found + 9;
    while (i < tail.size() && IsWhite(static_cast<unsigned char>(tail[i]))) ++i;
    // No file comes near 20 digits; a longer number only has to stay large.
    constexpr uint64_t kTooFar = uint64_t{1} << 62;
    uint64_t value = 0;
    for (; i < tail.size() && IsDigit(tail[i]); ++i) {
        value = value * 10 + static_cast<uint64_t>(tail[i] - '0');
        if (value > kTooFar) return kTooFar;
    }
    return value;
}

void XRef::growTo(int64_t size) {
    if (size < 0 || size > kMaxEntries) Damaged();
    if (static_cast<size_t>(size) > entries_.size()) entries_.resize(static_cast<size_t>(size));
}

bool XRef::readXRef(uint64_t offset, uint64_t& nextOffset) {
    const uint64_t position = filePosition(offset);
    if (position == UINT64_MAX) throw Error("Couldn't parse an xref");
    // No resolution: references inside the section's dictionaries stay as they are.
    Parser parser(*file_, position);
    const Object first = parser.next();
    if (first.isKeyword("xref")) return readClassicTable(parser, nextOffset);
    if (!first.isInteger()) throw Error("Couldn't parse an xref");

    const Object generation = parser.next();
    const Object keyword = generation.isInteger() ? parser.next() : Object();
    const Object object = keyword.isKeyword("obj") ? parser.next() : Object();
    if (!object.isStream()) throw Error("Couldn't parse an xref stream");
    return readXRefStream(*object.stream(), nextOffset);
}

bool XRef::readClassicTable(Parser& parser, uint64_t& nextOffset) {
    for (;;) {
        const Object first = parser.next();
        if (first.isKeyword("trailer")) break;
        if (!first.isInteger()) throw Error("Couldn't parse an xref table");
        const Object count = parser.next();
        if (!count.isInteger()) throw Error("Couldn't parse an xref table");
        if (first.integer() < 0 || count.integer() < 0) {
            throw Error("Couldn't parse an xref table");
        }
        const int64_t end = int64_t{first.integer()} + count.integer();
        if (end > kMaxEntries) Damaged();
        growTo(end);
        for (int64_t number = first.integer(); number < end; ++number) {
            const Object offset = parser.next();
            const Object generation = parser.next();
            const Object kind = parser.next();
            if (!offset.isInteger() || !generation.isInteger() ||
                !(kind.isKeyword("n") || kind.isKeyword("f"))) {
                throw Error("Couldn't parse an xref table");
            }
            XRefEntry& entry = entries_[static_cast<size_t>(number)];
            if (entry.isDefined()) continue;
            entry.offset = static_cast<uint64_t>(offset.integer64());
            entry.generation = static_cast<uint32_t>(generation.integer());
            entry.type = kind.isKeyword("n") ? 1 : 0;
        }
    }

    const Object trailer = parser.next();
    const Dictionary* dict = trailer.dictionary();
    if (dict == nullptr) throw Error("Trailer dictionary is wrong type");
    if (!haveTrailer_) {
        trailer_ = *dict;
        haveTrailer_ = true;
    }

    // A hybrid file lists some objects only in the cross-reference stream its
    // classic trailer points at; they rank behind this section, before older ones.
    const Object& hidden = dict->get("XRefStm");
    if (hidden.isInteger() && hidden.integer64() > 0) {
        readHiddenXRefStream(static_cast<uint64_t>(hidden.integer64()));
    }
    return readPrev(*dict, nextOffset);
}

void XRef::readHiddenXRefStream(uint64_t offset) {
    // The classic table already makes the file readable, so a hidden stream
    // that cannot be read is passed over.
    try {
        if (filePosition(offset) == UINT64_MAX) return;
        Parser parser(*file_, filePosition(offset));
        if (!parser.next().isInteger() || !parser.next().isInteger() ||
            !parser.next().isKeyword("obj")) {
            return;
        }
        const Object object = parser.next();
        if (!object.isStream()) return;
        uint64_t ignoredPrev = 0;
        readXRefStream(*object.stream(), ignoredPrev);
    } catch (const Error&) {
    }
}

bool XRef::readPrev(const Dictionary& dict, uint64_t& nextOffset) {
    const Object& prev = dict.get("Prev");
    if (prev.isInteger()) {
        nextOffset = static_cast<uint64_t>(prev.integer64());
        return true;
    }
    if (prev.isReference()) {
        nextOffset = static_cast<uint64_t>(static_cast<int64_t>(prev.reference().number));
        return true;
    }
    return false;
}

bool XRef::readXRefStream(const Stream& stream, uint64_t& nextOffset) {
    const Dictionary& dict = stream.dictionary;
    const Object& size = dict.get("Size");
    if (!size.isInteger()) throw Error("Size of xref Stream is wrong type");
    if (size.integer() > 0) growTo(size.integer());

    const Object& w = dict.get("W");
    if (!w.isArray()) throw Error("W item of xref Stream is wrong type");
    if (w.array()->size() < 3) throw Error("W item of xref Stream is wrong length");
    int widths[3];
    for (size_t k = 0; k < 3; ++k) {
        const Object width = resolve(w.array()->at(k));
        if (!width.isInteger()) throw Error("W item of xref Stream is wrong type");
        widths[k] = width.integer();
    }

    const std::string data = streamData(stream).value_or(std::string());
    size_t at = 0;
    auto readSection = [&](int32_t first, int32_t count) {
        if (first < 0 || count < 0) Damaged();
        const int64_t end = int64_t{first} + count;
        growTo(end);
        for (int64_t number = first; number < end; ++number) {
            uint64_t fields[3] = {0, 0, 0};
            for (int k = 0; k < 3; ++k) {
                for (int byte = 0; byte < widths[k]; ++byte) {
                    if (at >= data.size()) {
                        throw Error("Unexpected EOF while reading xref stream section");
                    }
                    fields[k] = (fields[k] << 8) | static_cast<unsigned char>(data[at++]);
                }
            }
            if (widths[0] == 0) fields[0] = 1;
            XRefEntry& entry = entries_[static_cast<size_t>(number)];
            if (entry.isDefined()) continue;
            if (fields[0] > 2) {
                throw Error("Wrong type of xref entry while reading xref stream section");
            }
            entry.offset = fields[1];
            entry.generation = static_cast<uint32_t>(fields[2]);
            entry.type = static_cast<uint32_t>(fields[0]);
        }
    };

    const Object& index = dict.get("Index");
    if (const Array* pairs = index.array()) {
        for (size_t i = 0; i + 1 < pairs->size(); i += 2) {
            const Object first = resolve(pairs->at(i));
            const Object count = resolve(pairs->at(i + 1));
            if (!first.isInteger() || !count.isInteger()) {
                throw Error("Index item of xref Stream is wrong type");
            }
            readSection(first.integer(), count.integer());
        }
    } else {
        readSection(0, size.integer());
    }

    if (!haveTrailer_) {
        trailer_ = dict;
        haveTrailer_ = true;
    }
    return readPrev(dict, nextOffset);
}

template <typename Read>
Object XRef::withObject(Reference reference, const Read& read) {
    const int32_t number = reference.number;
    // A reference to an object the file does not have is null.
    if (!holds(reference)) {
        noteMissing(reference);
        return Object::MakeNull();
    }
    // Fetches inside a fetch (a stream's Length, an object stream) are bounded in
    // depth and in number, and an object already being fetched gives null: a
    // file whose Lengths lead back, or fan out, cannot hang the reader.
    if (fetching_.empty()) {
        nestedFetchesLeft_ = kMaxNestedFetches;
    } else if (fetching_.size() >= static_cast<size_t>(kMaxFetchDepth) || nestedFetchesLeft_ == 0 ||
               std::find(fetching_.begin(), fetching_.end(), number) != fetching_.end()) {
        return Object::MakeNull();
    } else {
        --nestedFetchesLeft_;
    }
    FetchScope scope(fetching_, number);
    const XRefEntry entry = entries_[static_cast<size_t>(number)];

    if (entry.type == 1 && entry.isDefined()) {
        if (static_cast<uint32_t>(reference.generation) != entry.generation ||
            filePosition(entry.offset) == UINT64_MAX) {
            return Object::MakeNull();
        }
        Parser parser(*file_, filePosition(entry.offset), decryptionOf(reference), &resolver_);
        const Object objNumber = parser.next();
        const Object objGeneration = parser.next();
        const Object keyword = parser.next();
        if (!objNumber.isInteger() || objNumber.integer() != number || !objGeneration.isInteger() ||
            objGeneration.integer() != reference.generation || !keyword.isKeyword("obj")) {
            return Object::MakeNull();
        }
        try {
            return read(parser);
        } catch (const Error& error) {
            throw error.placed({number, static_cast<int64_t>(filePosition(entry.offset))});
        }
    }

    // Of an object stream, only the object asked for is parsed, from the
    // stream's decoded bytes; a free entry has none.
    const std::optional<std::string_view> bytes = objectStreamBytes(static_cast<uint32_t>(number));
    if (!bytes) return Object::MakeNull();
    MemorySource source(*bytes);
    Parser parser(source, 0);
    try {
        return read(parser);
    } catch (const Error& error) {
        throw error.placed({number, -1});
    }
}

const XRefEntry* XRef::definedEntry(int64_t number) const {
    if (number < 0 || static_cast<uint64_t>(number) >= entries_.size()) return nullptr;
    const XRefEntry& entry = entries_[static_cast<size_t>(number)];
    return entry.isDefined() ? &entry : nullptr;
}

bool XRef::holds(Reference reference) const {
    const XRefEntry* entry = definedEntry(reference.number);
    if (entry == nullptr) return false;
    // Objects of object streams have generation 0, but references that say
    // otherwise find them, as they do in other readers.
    if (entry->type == 1) return static_cast<uint32_t>(reference.generation) == entry->generation;
    return entry->type == 2;
}

void XRef::noteMissing(Reference reference) {
    ++missingCount_;
    if (missing_.size() < kMissingKept) missing_.push_back(reference);
}

Object XRef::fetch(Reference reference) {
    return withObject(reference, [](Parser& parser) { return parser.next(); });
}

Object XRef::fetchKeys(Reference reference, const std::vector<std::string>& keys,
                       const Parser::StopAt& stopAt) {
    return withObject(reference, [&](Parser& parser) { return parser.nextKeys(keys, stopAt); });
}

std::optional<Object> XRef::fetchValue(Reference reference, std::string_view key) {
    std::optional<Object> value;
    withObject(reference, [&](Parser& parser) {
        value = parser.nextValueOf(key);
        return Object();
    });
    return value;
}

Object XRef::resolve(const Object& value) {
    return value.isReference() ? fetch(value.reference()) : value;
}

std::optional<std::string> XRef::streamData(const Stream& stream) {
    // Raw data beyond what any decoded stream may hold is no stream the tool needs.
    std::string bytes =
        file_->bytes(stream.dataOffset,
                     static_cast<size_t>(std::min<uint64_t>(stream.dataLength, kMaxDecodedBytes)));
    if (stream.decryption.handler != nullptr) {
        bytes = stream.decryption.handler->decryptStream(bytes, stream.decryption.id);
    }
    return DecodeStreamData(std::move(bytes), stream.dictionary, resolver_);
}

namespace {

// The pairs of an object stream's header, each value read as the parser reads
// one, without building it: "N G R" is a reference, and no number.
bool ReadHeaderPairsByTokens(std::string_view header, int32_t pairs, std::vector<int32_t>& numbers,
                             std::vector<int32_t>& offsets) {
    Lexer lexer(header);
    Token token = lexer.next();
    for (int64_t value = 0; value < int64_t{pairs} * 2; ++value) {
        if (token.kind != TokenKind::Integer) return false;
        const Token after = lexer.next();
        if (EndsReference(after, lexer.peek(), header)) return false;
        const int32_t integer = Object::MakeInteger(IntegerValue(lexer.text(token))).integer();
        (value % 2 == 0 ? numbers : offsets).push_back(integer);
        token = after;
    }
    return true;
}

// The same, for the header of plain digits and white space nearly every
// stream has, read in one pass; any other header is read token by token.
bool ReadHeaderPairs(std::string_view header, int32_t pairs, std::vector<int32_t>& numbers,
                     std::vector<int32_t>& offsets) {
    Lexer lexer(header);
    Token last;
    for (int64_t value = 0; value < int64_t{pairs} * 2; ++value) {
        const std::optional<Token> token = lexer.nextPlainInteger();
        if (!token) {
            numbers.clear();
            offsets.clear();
            return ReadHeaderPairsByTokens(header, pairs, numbers, offsets);
        }
        const int32_t integer = Object::MakeInteger(IntegerValue(lexer.text(*token))).integer();
        (value % 2 == 0 ? numbers : offsets).push_back(integer);
        last = *token;
    }
    // Numbers alone make no reference, but the last two may with what follows them.
    const Token after = lexer.next();
    return !EndsReference(last, after, header) && !EndsReference(after, lexer.peek(), header);
}

}  // namespace

bool XRef::openObjectStream(int32_t number, std::vector<int32_t>& numbers,
                            std::vector<int32_t>& offsets, std::string* data, size_t* dataStart) {
    const Object holder = fetch({number, 0});
    const Stream* stream = holder.stream();
    if (stream == nullptr) return false;
    const Object n = resolve(stream->dictionary.get("N"));
    const Object first = resolve(stream->dictionary.get("First"));
    if (!n.isInteger() || n.integer() <= 0 || !first.isInteger() || first.integer() < 0) {
        return false;
    }
    std::optional<std::string> decoded = streamData(*stream);
    if (!decoded) return false;
    // The header: N pairs of object number and offset within the first First
    // bytes. A pair that is not two integers leaves the stream without objects.
    const size_t headerSize = std::min(decoded->size(), static_cast<size_t>(first.integer()));
    if (!ReadHeaderPairs(std::string_view(*decoded).substr(0, headerSize), n.integer(), numbers,
                         offsets)) {
        numbers.clear();
        offsets.clear();
    }
    if (data != nullptr) {
        *data = std::move(*decoded);
        *dataStart = headerSize;
    }
    return true;
}

std::unique_ptr<XRef::RawObjectStream> XRef::loadRawObjectStream(int32_t number) {
    auto loaded = std::make_unique<RawObjectStream>();
    loaded->number = number;
    LoadingMark mark(loadingObjectStreams_, number);
    if (!openObjectStream(number, loaded->numbers, loaded->offsets, &loaded->data,
                          &loaded->dataStart)) {
        loaded->numbers.clear();
        loaded->offsets.clear();
        loaded->data.clear();
    }
    loaded->data.shrink_to_fit();
    return loaded;
}

std::optional<std::string_view> XRef::objectStreamBytes(uint32_t number) {
    if (number >= entries_.size()) return std::nullopt;
    const XRefEntry entry = entries_[number];
    if (entry.type != 2 || !entry.isDefined()) return std::nullopt;
    // A number no table can hold reads as one outside this table.
    const int32_t streamNumber = entry.offset > INT32_MAX ? -1 : static_cast<int32_t>(entry.offset);
    RawObjectStream* cached = rawObjStms_.find(streamNumber);
    if (cached == nullptr) {
        // An object stream whose loading leads back into itself gives nothing.
        if (loadingObjectStreams_.count(streamNumber) != 0) return std::nullopt;
        cached = rawObjStms_.insert(loadRawObjectStream(streamNumber));
    }
    const RawObjectStream& raw = *cached;
    uint32_t index = entry.generation;
    if (index >= raw.numbers.size() || raw.numbers[index] != static_cast<int32_t>(number)) {
        // An entry whose index is wrong: the stream's header names its objects.
        const auto listed =
            std::find(raw.numbers.begin(), raw.numbers.end(), static_cast<int32_t>(number));
        if (listed == raw.numbers.end()) return std::nullopt;
        index = static_cast<uint32_t>(listed - raw.numbers.begin());
        entries_[number].generation = index;
    }
    const std::string_view data = std::string_view(raw.data).substr(raw.dataStart);
    int64_t begin = raw.offsets[index];
    int64_t end = index + 1 < raw.offsets.size() ? int64_t{raw.offsets[index + 1]}
                                                 : static_cast<int64_t>(data.size());
    const auto size = static_cast<int64_t>(data.size());
    if (begin < 0 || begin > size) return std::nullopt;
    end = std::clamp(end, begin, size);
    return data.substr(static_cast<size_t>(begin), static_cast<size_t>(end - begin));
}

}  // namespace pdf
