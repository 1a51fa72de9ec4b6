#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "pdf/filters.h"
#include "pdf/object.h"
#include "pdf/parser.h"
#include "pdf/security.h"

namespace pdf {

// One cross-reference entry. Type 0 free, 1 in use at offset, 2 held in the
// object stream numbered offset at index generation.
struct XRefEntry {
    static constexpr uint64_t kUndefined = UINT64_MAX;

    uint64_t offset = kUndefined;
    uint32_t generation = 0;
    uint32_t type = 0;

    bool isDefined() const { return offset != kUndefined; }
};

// The object streams used most recently, newest first, kept within a budget
// (at least one always stays). Outlines and page trees jump between object
// streams, and decoding one again for every object costs more than anything else.
template <typename Stream>
class RecentObjectStreams {
public:
    explicit RecentObjectStreams(size_t budget) : budget_(budget) {}

    Stream* find(int32_t number) {
        for (auto it = streams_.begin(); it != streams_.end(); ++it) {
            if ((*it)->number == number) {
                streams_.splice(streams_.begin(), streams_, it);
                return streams_.front().get();
            }
        }
        return nullptr;
    }

    void clear() {
        streams_.clear();
        used_ = 0;
    }

    Stream* insert(std::unique_ptr<Stream> stream) {
        used_ += stream->cost();
        streams_.push_front(std::move(stream));
        while (used_ > budget_ && streams_.size() > 1) {
            used_ -= streams_.back()->cost();
            streams_.pop_back();
        }
        return streams_.front().get();
    }

private:
    size_t budget_;
    size_t used_ = 0;
    std::list<std::unique_ptr<Stream>> streams_;
};

// Finds the cross-reference sections of a file, keeps the newest trailer and
// resolves object references, also into object streams.
class XRef {
public:
    // The largest table the reader builds: the most indirect objects a PDF file
    // may hold. A section that claims more is damaged.
    static constexpr uint32_t kMaxEntries = 1u << 23;
    // References resolved inside references (a stream Length inside an object
    // stream, ...) nest at most this deep, and one fetch makes at most so many
    // fetches inside it; beyond either they give null.
    static constexpr int kMaxFetchDepth = 32;
    static constexpr int kMaxNestedFetches = 4096;

    // start: where the "%PDF-" header stands; every offset counts from it.
    XRef(std::shared_ptr<ByteSource> file, uint64_t start);
    XRef(const XRef&) = delete;
    XRef& operator=(const XRef&) = delete;

    // Reads every section of the file. When they cannot be read, or an entry's
    // offset does not hold its object, the table is rebuilt by scanning the
    // file for objects (unless repair is false). Throws Error when
    // neither gives a table.
    // password: the user's or the owner's, for an encrypted file that needs one.
    void init(bool repair = true, const std::string& password = "");
    // Whether the table was rebuilt by scanning the file.
    bool wasRebuilt() const { return rebuilt_; }
    // Rebuilds a table that read but whose catalog is none; false when it
    // was rebuilt already or the scan finds no catalog either.
    bool rebuildAnyway(const std::string& password);
    // The security handler of an encrypted file (opened with the empty user
    // password), or null; and its Encrypt dictionary, whose strings are never
    // encrypted.
    const SecurityHandler* security() const { return security_.get(); }
    Reference encryptRef() const { return encrypt_; }

    // The object a reference names; null for one that names nothing (an
    // object the table does not have in use), which is noted as missing.
    Object fetch(Reference reference);
    // Whether the table has an object in use for the reference.
    bool holds(Reference reference) const;
    // The references met so far that name no object: the first kMissingKept
    // of them, and how many there were.
    static constexpr size_t kMissingKept = 4096;
    const std::vector<Reference>& missing() const { return missing_; }
    uint64_t missingCount() const { return missingCount_; }
    // Of the object a reference names, only the keys asked for when it is a
    // dictionary (see Parser::nextKeys); a reference that names nothing gives null.
    Object fetchKeys(Reference reference, const std::vector<std::string>& keys,
                     const Parser::StopAt& stopAt = nullptr);
    // The value of one key of the dictionary a reference names (see
    // Parser::nextValueOf); nothing when it names no dictionary.
    std::optional<Object> fetchValue(Reference reference, std::string_view key);
    // What a value stands for: the object it names when it is a reference.
    Object resolve(const Object& value);
    // resolve, as the filters and the security handler take it.
    const Resolve& resolver() const { return resolver_; }
    // The data of a stream, decrypted and decoded; nothing when its filters
    // cannot be decoded.
    std::optional<std::string> streamData(const Stream& stream);

    const std::vector<XRefEntry>& entries() const { return entries_; }
    // The entry of a number the table defines, or nullptr.
    const XRefEntry* definedEntry(int64_t number) const;
    // The bytes of an object held in an object stream, or nothing. They stay
    // valid until the next fetch or call of this. An entry whose index in the
    // stream is wrong is found by its number in the stream's header, and its
    // index mended.
    std::optional<std::string_view> objectStreamBytes(uint32_t number);

    const Dictionary& trailer() const { return trailer_; }
    Reference root() const { return root_; }
    // The trailer's Info reference; 0 0 when it has none.
    Reference info() const { return info_; }
    // Position of the "%PDF-" header in the file; every offset counts from it.
    uint64_t start() const { return start_; }
    // The file position of an offset counted from the header; UINT64_MAX when
    // it lies beyond any file.
    uint64_t filePosition(uint64_t offset) const {
        return start_ + offset < start_ ? UINT64_MAX : start_ + offset;
    }
    ByteSource& file() const { return *file_; }

private:
    struct RawObjectStream {
        int32_t number = -1;
        std::vector<int32_t> numbers;
        std::vector<int32_t> offsets;
        std::string data;      // the decoded data
        size_t dataStart = 0;  // where the objects begin: First
        size_t cost() const { return data.size() + 1; }
    };
    // Decoded object streams kept at most. Objects are parsed from them when
    // asked for, so the budget bounds the memory whatever the file's size.
    static constexpr size_t kRawByteBudget = 2u << 20;

    struct ScannedObject;

    void readSections();
    // Takes the catalog, the Info and the security handler of trailer_.
    void adoptTrailer(const std::string& password);
    void noteMissing(Reference reference);
    // Opens the security handler of an Encrypt dictionary (or a reference
    // to one) with the identifier the key is made from.
    void openSecurity(const Object& encrypt, const Object& identifier, const std::string& password);
    Decryption decryptionOf(Reference reference) const;
    // Runs read with a parser positioned at the object a reference names,
    // behind its header; gives null when the reference names nothing.
    template <typename Read>
    Object withObject(Reference reference, const Read& read);
    uint64_t findStartXref();
    // The rebuilding scan (xref_rebuild.cpp). rebuild keeps the table as it was
    // and gives false when the scan finds no catalog. repairStaleEntries points
    // the entries whose offset holds no header of theirs at the newest header
    // the scan finds for them, and tells whether it changed any.
    std::vector<uint32_t> staleEntries();
    bool repairStaleEntries();
    bool rebuild(const std::string& password);
    // Of an encrypted file whose table is rebuilt: the Encrypt dictionary and
    // the identifier of the newest trailer that has them, else an object that
    // is an Encrypt dictionary; none when the file shows no encryption.
    std::pair<Object, Object> findEncryption(
        const std::vector<std::pair<uint64_t, Dictionary>>& trailers);
    void scanFile(std::vector<ScannedObject>& objects,
                  std::vector<std::pair<uint64_t, Dictionary>>& trailers,
                  std::vector<uint32_t>& objectStreams);
    void indexObjectStreams(const std::vector<uint32_t>& objectStreams,
                            const std::vector<uint64_t>& placedAt);
    bool chooseTrailer(std::vector<std::pair<uint64_t, Dictionary>>& trailers);
    bool trailerFromCatalog(const std::vector<uint64_t>& placedAt);
    uint32_t generationOf(uint32_t number) const {
        const XRefEntry& entry = entries_[number];
        return entry.type == 1 ? entry.generation : 0;
    }
    bool readXRef(uint64_t offset, uint64_t& nextOffset);
    bool readClassicTable(Parser& parser, uint64_t& nextOffset);
    bool readXRefStream(const Stream& stream, uint64_t& nextOffset);
    void readHiddenXRefStream(uint64_t offset);
    bool readPrev(const Dictionary& dict, uint64_t& nextOffset);
    void growTo(int64_t size);

    // Object stream loading: its header's numbers and offsets and its data,
    // or none of them when it cannot be read.
    bool openObjectStream(int32_t number, std::vector<int32_t>& numbers,
                          std::vector<int32_t>& offsets, std::string* data, size_t* dataStart);
    std::unique_ptr<RawObjectStream> loadRawObjectStream(int32_t number);

    std::shared_ptr<ByteSource> file_;
    uint64_t start_;
    Resolve resolver_;
    std::vector<XRefEntry> entries_;
    Dictionary trailer_;
    bool haveTrailer_ = false;  // while the sections are read: the newest trailer is kept
    Reference root_;
    Reference info_;
    Reference encrypt_;
    RecentObjectStreams<RawObjectStream> rawObjStms_{kRawByteBudget};
    std::set<int32_t> loadingObjectStreams_;
    bool rebuilt_ = false;
    std::unique_ptr<SecurityHandler> security_;
    std::vector<int32_t> fetching_;
    std::vector<Reference> missing_;
    uint64_t missingCount_ = 0;
    int nestedFetchesLeft_ = kMaxNestedFetches;
};

}  // namespace pdf
