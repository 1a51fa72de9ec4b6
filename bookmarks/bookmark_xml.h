#pragma once

#include <cstdio>
#include <istream>
#include <string>
#include <vector>

#include "bookmarks/record.h"
#include "bookmarks/text_codec.h"
#include "structure/outline.h"

// --- Writing the bookmark XML file ---

// The percent-escaped title of an item without a byte-order mark: bytes that
// are not plain printable characters become "%" and two hexadecimal digits.
std::string EncodeTitle(const CPdfOutlineItem& item);
// The entity escapes of a Name value, applied after the percent escapes.
std::string EscapeTitleEntities(const std::string& text);
// The whole Name value of an item: percent escapes, then entity escapes; a
// UTF-16BE title is decoded, and characters no PDFDocEncoding byte holds are
// written as numeric character references.
std::string ExportTitleValue(const CPdfOutlineItem& item);
// The title as the update job keeps it: every byte, ready for a PDF literal string.
std::string UpdateTitleValue(const CPdfOutlineItem& item);
// A Filename, Uri or Actionname value made fit for the XML file: "&", "<" and
// ">" as entities, line ends and the bytes Windows-1252 leaves undefined as
// character references, other control bytes as "%" and two hexadecimal digits.
std::string EscapeXmlText(const std::string& text);

// The whole bookmark XML file: declaration, root element and one Bookmark
// block per record, depth first.
void WriteBookmarkXml(std::FILE* file, const std::vector<BookmarkRecord>& records);

// --- Reading the bookmark XML file ---

int HexDigitValue(char digit);
// Replaces "%" and two hexadecimal digits by the byte they denote. Throws
// "Wrong PDFEncoding code" when the two bytes are not hexadecimal digits.
std::string PercentDecode(const std::string& text);
// A Name value decoded to the title's own bytes and escaped for a PDF literal string.
std::string DecodeNameValue(const std::string& value);
// A Filename, Uri or Actionname value with its XML entities and character
// references undone (a character beyond one byte comes out in UTF-8).
std::string DecodeXmlText(const std::string& value);

// Reads the records of a bookmark XML file, wherever its line breaks fall. A
// record goes under the nearest record before it whose level is lower, or to
// the top. Insert elements count only forUpdate. A file read as UTF-8 without
// saying so leaves a line for the user in warning.
std::vector<BookmarkRecord> ReadBookmarks(std::istream& input, bool forUpdate,
                                          std::string* warning = nullptr);
