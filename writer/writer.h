#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "pdf/xref.h"

// Index of the last byte of the first occurrence of pattern in text, or 0
// when there is none (a match ending at index 0 reads as none too).
size_t FindText(const std::string& text, const std::string& pattern);
// File position of the last byte of the first occurrence of pattern at or
// after from, or 0.
uint32_t FindInFile(std::FILE* file, uint32_t from, const std::string& pattern);
// The decimal number that follows key in text (after any non-digits), or 0.
uint32_t FindReference(const std::string& text, const std::string& key);

// The raw text of one input object, from its header line through "endobj" and
// the byte after it; an object of an object stream gets a header and "endobj"
// of its own. Offsets count from the header at headerStart. Nothing when the
// object is free or its text cannot be found.
std::optional<std::string> ReadObjectText(std::FILE* file, uint32_t objectNumber, CPdfXRef& xref,
                                          const std::vector<XRefEntry>& entries,
                                          uint32_t headerStart);

// Whether the file holds the header "number generation obj" at offset.
bool HoldsObjectHeader(std::FILE* file, uint64_t offset, uint32_t number, uint32_t generation);

// Whether an input object is an object stream (Type ObjStm).
bool IsObjectStream(CPdfXRef& xref, uint32_t objectNumber, uint32_t generation);

// One cross-reference table line: ten-digit offset, five-digit generation,
// "n" or "f", a blank and a carriage return.
std::string XrefTableEntry(uint32_t offset, uint32_t generation, bool inUse);

// The colour entry of an outline item: "/C[ r g b ]" and a line feed.
std::string FormatColor(uint32_t color);
