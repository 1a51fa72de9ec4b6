#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <set>
#include <vector>

#include "pdf/element.h"
#include "pdf/security.h"
#include "pdf/stream.h"

// One cross-reference entry. Type 0 free, 1 in use at offset, 2 held in the
// object stream numbered offset at index generation.
struct XRefEntry {
    static constexpr uint64_t kUndefined = UINT64_MAX;

    uint64_t offset = kUndefined;
    uint32_t generation = 0;
    uint32_t type = 0;

    bool isDefined() const { return offset != kUndefined; }
};

class CPdfParser;

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
class CPdfXRef {
public:
    // The largest table the reader builds: the most indirect objects a PDF file
    // may hold. A section that claims more is damaged.
    static constexpr uint32_t kMaxEntries = 1u << 23;
    // References resolved inside references (a stream Length inside an object
    // stream, ...) nest at most this deep, and one fetch makes at most so many
    // fetches inside it; beyond either they give pdfNull.
    static constexpr int kMaxFetchDepth = 32;
    static constexpr int kMaxNestedFetches = 4096;

    CPdfXRef() = default;
    CPdfXRef(const CPdfXRef&) = delete;
    CPdfXRef& operator=(const CPdfXRef&) = delete;
    virtual ~CPdfXRef();

    // Reads every section of the file. When they cannot be read, or an entry's
    // offset does not hold its object, the table is rebuilt by scanning the
    // file for objects (unless repair is false). Throws CPdfException when
    // neither gives a table.
    void init(CPdfStream* stream, bool repair = true);
    // Whether the table was rebuilt by scanning the file.
    bool wasRebuilt() const { return rebuilt_; }
    // The security handler of an encrypted file (opened with the empty user
    // password), or null; and the number of its Encrypt dictionary, whose
    // strings are never encrypted.
    const SecurityHandler* security() const { return security_.get(); }
    int32_t encryptNum = 0;
    int32_t encryptGen = 0;
    void fetch(int32_t number, int32_t generation, CPdfElement& target);

    const std::vector<XRefEntry>& getEntries() const { return entries_; }
    // The bytes of an object held in an object stream, or null. They stay valid
    // until the next fetch or call of this.
    const unsigned char* getObjectBytes(int32_t number, int32_t generation, uint32_t& length);

    const CPdfElement& getTrailer() const { return trailer_; }
    // Position of the "%PDF-" header in the file; every offset counts from it.
    uint64_t getStart() const { return start_; }
    // The file position of an offset counted from the header; UINT64_MAX when
    // it lies beyond any file.
    uint64_t filePosition(uint64_t offset) const {
        return start_ + offset < start_ ? UINT64_MAX : start_ + offset;
    }

    int32_t rootNum = 0;
    int32_t rootGen = 0;
    int32_t infoNum = 0;
    int32_t infoGen = 0;

private:
    struct RawObjectStream {
        int32_t number = -1;
        std::vector<int32_t> numbers;
        std::vector<int32_t> offsets;
        std::vector<unsigned char> data;  // the decoded data behind First
        size_t cost() const { return data.size() + 1; }
    };
    // Decoded object streams kept at most. Objects are parsed from them when
    // asked for, so the budget bounds the memory whatever the file's size.
    static constexpr size_t kRawByteBudget = 4u << 20;

    struct ScannedObject;

    void readSections();
    void openSecurity(const CPdfElement& encrypt);
    Decryption decryptionOf(int32_t number, int32_t generation) const;
    uint64_t findStartXref();
    // The rebuilding scan (xref_rebuild.cpp). rebuild keeps the table as it was
    // and gives false when the scan finds no catalog. repairStaleEntries points
    // the entries whose offset holds no header of theirs at the newest header
    // the scan finds for them, and tells whether it changed any.
    std::vector<uint32_t> staleEntries();
    bool repairStaleEntries();
    bool rebuild();
    void scanFile(std::vector<ScannedObject>& objects,
                  std::vector<std::pair<uint64_t, CPdfElement>>& trailers,
                  std::vector<uint32_t>& objectStreams);
    void indexObjectStreams(const std::vector<uint32_t>& objectStreams,
                            const std::vector<uint64_t>& placedAt);
    bool chooseTrailer(std::vector<std::pair<uint64_t, CPdfElement>>& trailers);
    bool trailerFromCatalog(const std::vector<uint64_t>& placedAt);
    uint32_t generationOf(int32_t number) const {
        const XRefEntry& entry = entries_[static_cast<size_t>(number)];
        return entry.type == 1 ? entry.generation : 0;
    }
    bool readXRef(uint64_t offset, uint64_t& nextOffset);
    bool readClassicTable(CPdfParser& parser, uint64_t& nextOffset);
    bool readXRefStream(const CPdfElement& streamElement, uint64_t& nextOffset);
    void readXRefStreamSection(CPdfStream* stream, const int widths[3], int32_t first,
                               int32_t count);
    void readHiddenXRefStream(uint64_t offset);
    bool readPrev(const CPdfDictionary* dict, uint64_t& nextOffset);
    void growTo(int64_t size);
    CPdfStream* makeParserInput(uint64_t offset);

    // Object stream loading. Returns the
    // stream positioned behind its header, or null when it cannot be read.
    CPdfStream* openObjectStream(int32_t number, std::vector<int32_t>& numbers,
                                 std::vector<int32_t>& offsets, CPdfElement& holder);
    std::unique_ptr<RawObjectStream> loadRawObjectStream(int32_t number);
    const unsigned char* objectStreamBytes(int32_t number, const XRefEntry& entry,
                                           uint32_t& length);

    CPdfStream* stream_ = nullptr;
    uint64_t start_ = 0;
    std::vector<XRefEntry> entries_;
    CPdfElement trailer_;
    RecentObjectStreams<RawObjectStream> rawObjStms_{kRawByteBudget};
    std::set<int32_t> loadingObjectStreams_;
    bool rebuilt_ = false;
    std::unique_ptr<SecurityHandler> security_;
    std::vector<int32_t> fetching_;
    int nestedFetchesLeft_ = kMaxNestedFetches;
};
