#include <algorithm>
#include <cstring>

#include "pdf/stream.h"

CPdfFlateStream::CPdfFlateStream(CPdfStream* base, int predictor, int columns, int colors, int bits)
    : CPdfDecodingStream(base), inputLeft_(base->getLength()) {
    // The encoded data is read whole when the first byte is asked for: a stream
    // whose dictionary alone is wanted is never read. It stops where the base's
    // data stops, so a Length beyond the end of the file costs nothing.
    zstreamReady_ = inflateInit_(&zstream_, "1.2.2", static_cast<int>(sizeof(z_stream))) == Z_OK;
    ended_ = !zstreamReady_;
    if (predictor != 1) {
        predictor_ = std::make_unique<CPdfPredictor>(this, predictor, columns, colors, bits);
    }
}

CPdfFlateStream::~CPdfFlateStream() {
    if (zstreamReady_) inflateEnd(&zstream_);
}

void CPdfFlateStream::readInput() {
    constexpr size_t kChunk = 64 << 10;
    while (input_.size() < inputLeft_) {
        const size_t before = input_.size();
        const auto want = static_cast<size_t>(std::min<uint64_t>(kChunk, inputLeft_ - before));
        input_.resize(before + want);
        const size_t got = base_->read(input_.data() + before, want);
        input_.resize(before + got);
        if (got < want) break;
    }
    inputLeft_ = 0;
    zstream_.next_in = input_.data();
    zstream_.avail_in = static_cast<uInt>(input_.size());
}

bool CPdfFlateStream::refill() {
    outPtr_ = outEnd_ = 0;
    if (ended_) return false;
    if (inputLeft_ > 0) readInput();
    zstream_.next_out = output_;
    zstream_.avail_out = kOutputSize;
    int result = inflate(&zstream_, Z_FINISH);
    uint32_t produced = kOutputSize - zstream_.avail_out;
    if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
        ended_ = true;
        return false;
    }
    // Inflate may hold output back when all input is consumed, so the data
    // ends only at the stream's end or when a call gives nothing.
    if (result == Z_STREAM_END || produced == 0) ended_ = true;
    totalOut_ += produced;
    if (totalOut_ > kMaxInflatedBytes) {
        ended_ = true;
        return false;
    }
    outEnd_ = produced;
    return produced > 0;
}

int CPdfFlateStream::getRawChar() {
    if (outPtr_ >= outEnd_ && !refill()) return -1;
    return output_[outPtr_++];
}

size_t CPdfFlateStream::read(unsigned char* out, size_t count) {
    if (predictor_) return CPdfStream::read(out, count);
    size_t done = 0;
    while (done < count) {
        if (outPtr_ >= outEnd_ && !refill()) break;
        const size_t take = std::min<size_t>(count - done, outEnd_ - outPtr_);
        std::memcpy(out + done, output_ + outPtr_, take);
        outPtr_ += static_cast<uint32_t>(take);
        done += take;
    }
    return done;
}

int CPdfFlateStream::getChar() {
    if (predictor_) return predictor_->getChar();
    return getRawChar();
}

int CPdfFlateStream::lookChar() {
    if (predictor_) return predictor_->lookChar();
    if (outPtr_ >= outEnd_ && !refill()) return -1;
    return output_[outPtr_];
}
