#include <cstdlib>

#include "pdf/stream.h"

namespace {

// Rows longer than this are refused: no image row or cross-reference row of a
// real file comes near it.
constexpr int64_t kMaxRowBytes = 1 << 24;

int64_t RowDataBytes(int columns, int colors, int bits) {
    return (int64_t{columns} * colors * bits + 7) / 8;
}

}  // namespace

bool CPdfPredictor::parametersValid(int columns, int colors, int bits) {
    if (columns < 1 || colors < 1 || colors > 32) return false;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16) return false;
    return RowDataBytes(columns, colors, bits) <= kMaxRowBytes;
}

CPdfPredictor::CPdfPredictor(CPdfFlateStream* owner, int predictor, int columns, int colors,
                             int bits)
    : owner_(owner),
      predictor_(predictor),
      nComps_(colors),
      nBits_(bits),
      nVals_(columns * colors),
      pixBytes_((colors * bits + 7) / 8),
      rowBytes_(static_cast<int>(RowDataBytes(columns, colors, bits)) + pixBytes_),
      predLine_(static_cast<size_t>(rowBytes_), 0),
      prevLine_(static_cast<size_t>(rowBytes_), 0),
      predIdx_(rowBytes_) {}

int CPdfPredictor::getChar() {
    if (predIdx_ >= rowBytes_ && !getNextLine()) return -1;
    return predLine_[static_cast<size_t>(predIdx_++)];
}

int CPdfPredictor::lookChar() {
    if (predIdx_ >= rowBytes_ && !getNextLine()) return -1;
    return predLine_[static_cast<size_t>(predIdx_)];
}

bool CPdfPredictor::getNextLine() {
    int method = predictor_;
    if (predictor_ >= 10) {
        int type = owner_->getRawChar();
        if (type < 0) return false;
        method = type + 10;
    }
    // The previous row moves aside; every byte of the new one is written before it is read.
    prevLine_.swap(predLine_);
    for (int i = pixBytes_; i < rowBytes_; ++i) {
        int c = owner_->getRawChar();
        if (c < 0) return false;
        int left = predLine_[static_cast<size_t>(i - pixBytes_)];
        int up = prevLine_[static_cast<size_t>(i)];
        int upLeft = prevLine_[static_cast<size_t>(i - pixBytes_)];
        int value;
        switch (method) {
            case 11:
                value = left + c;
                break;
            case 12:
                value = up + c;
                break;
            case 13:
                value = (left + up) / 2 + c;
                break;
            case 14: {
                int p = left + up - upLeft;
                int pa = std::abs(p - left);
                int pb = std::abs(p - up);
                int pc = std::abs(p - upLeft);
                if (pa <= pb && pa <= pc) {
                    value = left + c;
                } else if (pb <= pc) {
                    value = up + c;
                } else {
                    value = upLeft + c;
                }
                break;
            }
            default:
                value = c;
                break;
        }
        predLine_[static_cast<size_t>(i)] = static_cast<unsigned char>(value & 0xFF);
    }
    if (predictor_ == 2) undoTiffDifferencing();
    predIdx_ = pixBytes_;
    return true;
}

void CPdfPredictor::undoTiffDifferencing() {
    if (nBits_ == 8) {
        for (int i = pixBytes_; i < rowBytes_; ++i) {
            predLine_[static_cast<size_t>(i)] = static_cast<unsigned char>(
                predLine_[static_cast<size_t>(i)] + predLine_[static_cast<size_t>(i - nComps_)]);
        }
        return;
    }
    // Samples of other widths are packed from the most significant bit; each
    // adds the decoded sample of the same component one pixel to the left.
    const uint32_t mask = (1u << nBits_) - 1;
    auto bitOffset = [&](int sample) {
        return static_cast<size_t>(pixBytes_) * 8 + static_cast<size_t>(sample) * nBits_;
    };
    auto readSample = [&](int sample) {
        size_t bit = bitOffset(sample);
        uint32_t value = 0;
        for (int k = 0; k < nBits_; ++k, ++bit) {
            value = (value << 1) | ((predLine_[bit / 8] >> (7 - bit % 8)) & 1u);
        }
        return value;
    };
    auto writeSample = [&](int sample, uint32_t value) {
        size_t bit = bitOffset(sample) + static_cast<size_t>(nBits_);
        for (int k = 0; k < nBits_; ++k) {
            --bit;
            unsigned char flag = static_cast<unsigned char>(1u << (7 - bit % 8));
            if (value & 1u) {
                predLine_[bit / 8] |= flag;
            } else {
                predLine_[bit / 8] &= static_cast<unsigned char>(~flag);
            }
            value >>= 1;
        }
    };
    for (int sample = nComps_; sample < nVals_; ++sample) {
        writeSample(sample, (readSample(sample) + readSample(sample - nComps_)) & mask);
    }
}
