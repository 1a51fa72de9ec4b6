#include <algorithm>
#include <cstring>

#include "base/exception.h"
#include "pdf/stream.h"

void CPdfStream::decRef() {
    if (--refCount_ == 0) delete this;
}

size_t CPdfStream::read(unsigned char* out, size_t count) {
    size_t done = 0;
    for (int c = 0; done < count && (c = getChar()) >= 0; ++done) {
        out[done] = static_cast<unsigned char>(c);
    }
    return done;
}

int CPdfStream::getRawChar() {
    throw CPdfException("Internal: called getRawChar() on non-predictor stream");
}

CPdfFileStream::CPdfFileStream(std::FILE* file, uint64_t start, uint64_t length,
                               const CPdfElement& dict)
    : CPdfFileStream(std::make_shared<FileReader>(file), start, length, dict) {}

CPdfFileStream::CPdfFileStream(std::shared_ptr<FileReader> reader, uint64_t start, uint64_t length,
                               const CPdfElement& dict)
    : reader_(std::move(reader)), start_(start), length_(length) {
    dict.copy(dict_);
    emptyBuffer();
    reset();
}

void CPdfFileStream::reset() {
    setPos(static_cast<int64_t>(std::min<uint64_t>(start_, INT64_MAX)), 0);
}

int CPdfFileStream::getChar() {
    if (next_ >= end_ && !refill()) return -1;
    return *next_++;
}

int CPdfFileStream::lookChar() {
    if (next_ >= end_ && !refill()) return -1;
    return *next_;
}

size_t CPdfFileStream::read(unsigned char* out, size_t count) {
    size_t done = 0;
    while (done < count) {
        if (next_ >= end_ && !refill()) break;
        const size_t take = std::min<size_t>(count - done, static_cast<size_t>(end_ - next_));
        std::memcpy(out + done, next_, take);
        next_ += take;
        done += take;
    }
    return done;
}

bool CPdfFileStream::refill() {
    bufPos_ += static_cast<uint64_t>(end_ - buf_);
    emptyBuffer();
    uint64_t want = kBufferSize;
    if (length_ != 0) {
        // A range whose end lies beyond 2^64 reaches the end of the file.
        const uint64_t end = start_ + length_ < start_ ? UINT64_MAX : start_ + length_;
        if (bufPos_ >= end) return false;
        want = std::min<uint64_t>(want, end - bufPos_);
    }
    end_ = buf_ + reader_->read(bufPos_, buf_, static_cast<size_t>(want));
    return end_ > buf_;
}

void CPdfFileStream::setPos(int64_t position, int origin) {
    if (origin == 2) {
        const auto size = static_cast<int64_t>(std::min<uint64_t>(reader_->size(), INT64_MAX / 2));
        position = size + std::max(std::min(position, INT64_MAX / 2), -size - 1);
    }
    // Before the start of the file means its start; beyond its end, reads give nothing.
    if (position < 0) position = 0;
    bufPos_ = static_cast<uint64_t>(position);
    emptyBuffer();
}

void CPdfFileStream::moveStart(int64_t delta) {
    start_ += static_cast<uint64_t>(delta);
    bufPos_ = start_;
    emptyBuffer();
}

CPdfStream* CPdfFileStream::makeSubStream(uint64_t start, uint64_t length,
                                          const CPdfElement& dict) {
    return new CPdfFileStream(reader_, start, length, dict);
}

CPdfEmbedStream::CPdfEmbedStream(CPdfStream* parent, const CPdfElement& dict, bool limited,
                                 uint32_t length)
    : parent_(parent), limited_(limited), remaining_(length) {
    dict.copy(dict_);
}

int CPdfEmbedStream::getChar() {
    if (limited_) {
        if (remaining_ == 0) return -1;
        --remaining_;
    }
    return parent_->getChar();
}

int CPdfEmbedStream::lookChar() {
    if (limited_ && remaining_ == 0) return -1;
    return parent_->lookChar();
}
