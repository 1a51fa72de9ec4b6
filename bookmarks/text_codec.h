#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The PDFDocEncoding byte that stands for a Unicode character, or -1 when no
// byte does. Tab, line feed and carriage return stand for themselves.
int PdfDocEncodingByte(uint32_t character);

// The characters of UTF-16BE bytes (without the FE FF mark): surrogate pairs
// are joined, an unpaired surrogate becomes U+FFFD, an odd last byte is dropped.
std::vector<uint32_t> DecodeUtf16Be(const std::string& bytes);
// Appends one character as UTF-16BE.
void AppendUtf16Be(uint32_t character, std::string& out);

// Bytes made ready to stand inside a PDF literal string: "(", ")" and the
// backslash get a backslash, CR and LF become \r and \n.
std::string EscapeLiteralString(const std::string& bytes);
// A name's bytes made a valid PDF name (without its slash): bytes outside the
// printable regular characters, and "#", become #xx.
std::string EscapePdfName(const std::string& bytes);

// Replaces every occurrence of pattern, resuming behind each replacement.
std::string ReplaceAll(const std::string& text, const std::string& pattern,
                       const std::string& replacement);
