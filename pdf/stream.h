#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "pdf/element.h"
#include "pdf/file_reader.h"

// A reference-counted source of bytes: getChar gives 0 to 255, or -1 at the
// end of the data.
class CPdfStream {
public:
    CPdfStream() = default;
    CPdfStream(const CPdfStream&) = delete;
    CPdfStream& operator=(const CPdfStream&) = delete;
    virtual ~CPdfStream() = default;

    virtual void incRef() { ++refCount_; }
    // Destroys the stream when the last share is released.
    virtual void decRef();
    virtual void reset() = 0;
    virtual int getChar() = 0;
    virtual int getRawChar();
    virtual int lookChar() = 0;
    // Up to count bytes, as getChar would give them; fewer only at the end.
    virtual size_t read(unsigned char* out, size_t count);
    // The stream dictionary, or null (the whole-file stream has none).
    virtual CPdfDictionary* getDict() = 0;
    virtual uint64_t getPos() = 0;
    // origin 0: from the beginning of the file; 2: from its end.
    virtual void setPos(int64_t position, int origin) = 0;
    virtual uint64_t getStart() = 0;
    virtual void moveStart(int64_t delta) = 0;
    // Number of bytes in the range; 0 stands for no limit.
    virtual uint64_t getLength() = 0;
    virtual CPdfStream* makeSubStream(uint64_t start, uint64_t length, const CPdfElement& dict) = 0;

    uint32_t getRefCount() const { return refCount_; }

    // getChar and lookChar for the parser: bytes a stream holds ready in its
    // buffer are taken without a virtual call.
    int nextChar() { return next_ < end_ ? *next_++ : getChar(); }
    int peekChar() { return next_ < end_ ? *next_ : lookChar(); }

protected:
    // The bytes of the stream's buffer not yet taken; streams without a
    // buffer of their own leave both null.
    const unsigned char* next_ = nullptr;
    const unsigned char* end_ = nullptr;

private:
    uint32_t refCount_ = 1;
};

// Holds one reference count of a stream and releases it when it goes.
class StreamRef {
public:
    StreamRef() = default;
    explicit StreamRef(CPdfStream* stream) : stream_(stream) {}
    StreamRef(const StreamRef&) = delete;
    StreamRef& operator=(const StreamRef&) = delete;
    ~StreamRef() {
        if (stream_ != nullptr) stream_->decRef();
    }
    CPdfStream* get() const { return stream_; }
    CPdfStream* operator->() const { return stream_; }
    explicit operator bool() const { return stream_ != nullptr; }
    // Releases the count held and holds the new stream's.
    void reset(CPdfStream* stream) {
        if (stream_ != nullptr) stream_->decRef();
        stream_ = stream;
    }
    // Gives up the count without releasing it.
    CPdfStream* release() {
        CPdfStream* stream = stream_;
        stream_ = nullptr;
        return stream;
    }

private:
    CPdfStream* stream_ = nullptr;
};

// A byte range of the PDF file, or the whole file (length 0).
class CPdfFileStream : public CPdfStream {
public:
    // The file is shared by all file streams made from this one; they never close it.
    CPdfFileStream(std::FILE* file, uint64_t start, uint64_t length, const CPdfElement& dict);
    CPdfFileStream(std::shared_ptr<FileReader> reader, uint64_t start, uint64_t length,
                   const CPdfElement& dict);

    void reset() override;
    int getChar() override;
    int lookChar() override;
    size_t read(unsigned char* out, size_t count) override;
    CPdfDictionary* getDict() override { return dict_.getDict(); }
    uint64_t getPos() override { return bufPos_ + static_cast<uint64_t>(next_ - buf_); }
    void setPos(int64_t position, int origin) override;
    uint64_t getStart() override { return start_; }
    void moveStart(int64_t delta) override;
    uint64_t getLength() override { return length_; }
    CPdfStream* makeSubStream(uint64_t start, uint64_t length, const CPdfElement& dict) override;

private:
    bool refill();
    void emptyBuffer() { next_ = end_ = buf_; }

    static constexpr uint32_t kBufferSize = 1024;

    CPdfElement dict_;
    std::shared_ptr<FileReader> reader_;
    uint64_t start_;
    uint64_t length_;
    uint64_t bufPos_ = 0;  // the file position of buf_[0]
    unsigned char buf_[kBufferSize] = {};
};

// A range of a parent stream's bytes; used for the objects of an object
// stream. The parent outlives it and keeps its own count.
class CPdfEmbedStream : public CPdfStream {
public:
    CPdfEmbedStream(CPdfStream* parent, const CPdfElement& dict, bool limited, uint32_t length);

    void reset() override {}
    int getChar() override;
    int lookChar() override;
    CPdfDictionary* getDict() override { return dict_.getDict(); }
    uint64_t getPos() override { return parent_->getPos(); }
    void setPos(int64_t, int) override {}
    uint64_t getStart() override { return 0; }
    void moveStart(int64_t) override {}
    uint64_t getLength() override { return 0; }
    CPdfStream* makeSubStream(uint64_t, uint64_t, const CPdfElement&) override { return nullptr; }

private:
    CPdfElement dict_;
    CPdfStream* parent_;
    bool limited_;
    uint32_t remaining_;
};

class CPdfFlateStream;

// Undoes a PNG (10 to 15) or TIFF (2) predictor row by row.
class CPdfPredictor {
public:
    CPdfPredictor(CPdfFlateStream* owner, int predictor, int columns, int colors, int bits);

    // Whether the parameters describe rows this reader can handle.
    static bool parametersValid(int columns, int colors, int bits);

    int getChar();
    int lookChar();

private:
    bool getNextLine();
    void undoTiffDifferencing();

    CPdfFlateStream* owner_;
    int predictor_;
    int nComps_;
    int nBits_;
    int nVals_;
    int pixBytes_;
    int rowBytes_;
    std::vector<unsigned char> predLine_;
    std::vector<unsigned char> prevLine_;
    int predIdx_;
};

// FlateDecode data of a stream object, inflated forward only.
// A stream that decodes the data of another, its base: the dictionary,
// position and start are the base's. Holds one count of the base.
class CPdfDecodingStream : public CPdfStream {
public:
    explicit CPdfDecodingStream(CPdfStream* base) : base_(base) {}
    ~CPdfDecodingStream() override { base_->decRef(); }

    CPdfDictionary* getDict() override { return base_->getDict(); }
    uint64_t getPos() override { return base_->getPos(); }
    void setPos(int64_t, int) override {}
    uint64_t getStart() override { return base_->getStart(); }
    void moveStart(int64_t delta) override { base_->moveStart(delta); }
    uint64_t getLength() override { return base_->getLength(); }
    CPdfStream* makeSubStream(uint64_t, uint64_t, const CPdfElement&) override { return nullptr; }

protected:
    CPdfStream* base_;
};

class CPdfFlateStream : public CPdfDecodingStream {
public:
    // Takes over one count of base.
    CPdfFlateStream(CPdfStream* base, int predictor, int columns, int colors, int bits);
    ~CPdfFlateStream() override;

    // Inflated data beyond this many bytes is dropped: no real stream the tool
    // needs comes near it, and it keeps a small compressed bomb harmless.
    static constexpr uint64_t kMaxInflatedBytes = 256u << 20;

    void reset() override {}
    int getChar() override;
    int getRawChar() override;
    int lookChar() override;
    size_t read(unsigned char* out, size_t count) override;

private:
    bool refill();
    void readInput();

    static constexpr uint32_t kOutputSize = 1024;

    uint64_t inputLeft_;  // encoded bytes not yet read from the base
    std::unique_ptr<CPdfPredictor> predictor_;
    z_stream zstream_{};
    bool zstreamReady_ = false;
    bool ended_ = false;
    uint64_t totalOut_ = 0;
    std::vector<unsigned char> input_;
    unsigned char output_[kOutputSize] = {};
    uint32_t outPtr_ = 0;
    uint32_t outEnd_ = 0;
};

// Bytes decoded in memory, for filters other than a lone FlateDecode.
class CPdfMemoryStream : public CPdfStream {
public:
    CPdfMemoryStream(std::string data, const CPdfElement& dict);
    void reset() override { next_ = begin(); }
    int getChar() override;
    int lookChar() override;
    CPdfDictionary* getDict() override { return dict_.getDict(); }
    uint64_t getPos() override { return static_cast<uint64_t>(next_ - begin()); }
    void setPos(int64_t position, int) override;
    uint64_t getStart() override { return 0; }
    void moveStart(int64_t) override {}
    uint64_t getLength() override { return data_.size(); }
    CPdfStream* makeSubStream(uint64_t, uint64_t, const CPdfElement&) override { return nullptr; }

private:
    const unsigned char* begin() const {
        return reinterpret_cast<const unsigned char*>(data_.data());
    }

    std::string data_;
    CPdfElement dict_;
};

// Wraps the data of a stream object in its filters (FlateDecode with its
// predictors, ASCIIHexDecode, ASCII85Decode, LZWDecode and RunLengthDecode,
// alone or chained); gives null when they cannot be decoded.
CPdfStream* addFilters(CPdfStream* stream, const CPdfElement& dict);
