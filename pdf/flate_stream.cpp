#include <algorithm>

#include "pdf/stream.h"

CPdfFlateStream::CPdfFlateStream(CPdfStream* base, int predictor, int columns, int colors, int bits)
    : base_(base) {
    // The encoded data is read whole; it stops where the base's data stops, so a
    // Length beyond the end of the file costs nothing.
    uint32_t length = base_->getLength();
    input_.reserve(std::min<uint32_t>(length, 1u << 20));
    for (uint32_t i = 0; i < length; ++i) {
        int c = base_->getChar();
        if (c < 0) break;
        input_.push_back(static_cast<unsigned char>(c));
    }
    zstream_.next_in = input_.data();
    zstream_.avail_in = static_cast<uInt>(input_.size());
    zstreamReady_ = inflateInit_(&zstream_, "1.2.2", static_cast<int>(sizeof(z_stream))) == Z_OK;
    ended_ = !zstreamReady_;
    if (predictor != 1) {
        predictor_ = std::make_unique<CPdfPredictor>(this, predictor, columns, colors, bits);
    }
}

CPdfFlateStream::~CPdfFlateStream() {
    if (zstreamReady_) inflateEnd(&zstream_);
    base_->decRef();
}

bool CPdfFlateStream::refill() {
    outPtr_ = outEnd_ = 0;
    if (ended_) return false;
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

int CPdfFlateStream::getChar() {
    if (predictor_) return predictor_->getChar();
    return getRawChar();
}

int CPdfFlateStream::lookChar() {
    if (predictor_) return predictor_->lookChar();
    if (outPtr_ >= outEnd_ && !refill()) return -1;
    return output_[outPtr_];
}
