#include <algorithm>

#include "base/exception.h"
#include "pdf/stream.h"

void CPdfStream::decRef() {
    if (--refCount_ == 0) delete this;
}

int CPdfStream::getRawChar() {
    throw CPdfException("Internal: called getRawChar() on non-predictor stream");
}

CPdfFileStream::CPdfFileStream(std::FILE* file, uint32_t start, uint32_t length,
                               const CPdfElement& dict)
    : file_(file), start_(start), length_(length) {
    dict.copy(dict_);
    reset();
}

void CPdfFileStream::reset() {
    setPos(start_, 0);
}

int CPdfFileStream::getChar() {
    if (bufPtr_ >= bufEnd_ && !refill()) return -1;
    return buf_[bufPtr_++];
}

int CPdfFileStream::lookChar() {
    if (bufPtr_ >= bufEnd_ && !refill()) return -1;
    return buf_[bufPtr_];
}

bool CPdfFileStream::refill() {
    bufPos_ += bufEnd_;
    bufPtr_ = bufEnd_ = 0;
    uint64_t want = kBufferSize;
    if (length_ != 0) {
        uint64_t end = uint64_t{start_} + length_;
        if (bufPos_ >= end) return false;
        want = std::min<uint64_t>(want, end - bufPos_);
    }
    if (std::fseek(file_, static_cast<long>(bufPos_), SEEK_SET) != 0) return false;
    bufEnd_ = static_cast<uint32_t>(std::fread(buf_, 1, want, file_));
    return bufEnd_ > 0;
}

void CPdfFileStream::setPos(int64_t position, int origin) {
    int whence = origin == 2 ? SEEK_END : SEEK_SET;
    if (origin != 2 && position < 0) position = 0;
    if (std::fseek(file_, static_cast<long>(position), whence) != 0) {
        std::fseek(file_, 0, SEEK_SET);
    }
    long now = std::ftell(file_);
    bufPos_ = now < 0 ? 0 : static_cast<uint32_t>(std::min<long>(now, UINT32_MAX));
    bufPtr_ = bufEnd_ = 0;
}

void CPdfFileStream::moveStart(int32_t delta) {
    start_ += static_cast<uint32_t>(delta);
    bufPos_ = start_;
    bufPtr_ = bufEnd_ = 0;
}

CPdfStream* CPdfFileStream::makeSubStream(uint32_t start, uint32_t length,
                                          const CPdfElement& dict) {
    return new CPdfFileStream(file_, start, length, dict);
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
