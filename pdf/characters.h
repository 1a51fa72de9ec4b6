#pragma once

#include <cstring>

// The byte classes of PDF syntax, for the code that reads raw object text.
inline bool IsPdfWhite(int c) {
    return c == 0 || c == 9 || c == 10 || c == 12 || c == 13 || c == 32;
}

inline bool IsPdfDelimiter(int c) {
    return c > 0 && c < 128 && std::strchr("()<>[]{}/%", c) != nullptr;
}

inline bool IsDecimalDigit(int c) {
    return c >= '0' && c <= '9';
}
