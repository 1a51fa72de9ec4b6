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

// The value of a hexadecimal digit, or -1.
inline int HexValue(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}
