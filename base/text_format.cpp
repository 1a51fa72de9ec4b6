#include "base/text_format.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    // Most texts are short: one pass into a buffer on the stack, a second only
    // for a longer one.
    char buffer[256];
    const int needed = std::vsnprintf(buffer, sizeof buffer, format, copy);
    va_end(copy);
    std::string text;
    if (needed > 0 && static_cast<size_t>(needed) < sizeof buffer) {
        text.assign(buffer, static_cast<size_t>(needed));
    } else if (needed > 0) {
        text.resize(static_cast<size_t>(needed) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<size_t>(needed));
    }
    va_end(args);
    return text;
}

std::string SixDecimals(double value) {
    // Large enough for the longest double in fixed notation.
    char buffer[400];
    const std::to_chars_result end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    return std::string(buffer, end.ptr);
}
