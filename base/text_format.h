#pragma once

#include <string>

// printf-style formatting into a string of any length.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A number as "%f" prints it (six decimals, correctly rounded), without the
// cost of a format string.
std::string SixDecimals(double value);
