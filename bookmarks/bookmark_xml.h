#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/warnings.h"
#include "bookmarks/record.h"
#include "bookmarks/text_codec.h"

// The bookmark file's name of an action type ("Go to a page in this document", ...).
const char* ActionTypeName(ActionType type);

// The whole bookmark XML file: declaration, root element and one Bookmark
// block per record, depth first.
std::string BookmarkXml(const std::vector<BookmarkRecord>& records);

// The same file written a record at a time, in the order given, and given to
// sink a piece at a time; a record's children are not written with it. The
// file is complete once finish is called.
class BookmarkXmlWriter {
public:
    explicit BookmarkXmlWriter(std::function<void(const std::string&)> sink);
    BookmarkXmlWriter(const BookmarkXmlWriter&) = delete;
    BookmarkXmlWriter& operator=(const BookmarkXmlWriter&) = delete;

    void add(const BookmarkRecord& record);
    void finish();

private:
    std::function<void(const std::string&)> sink_;
    std::string pending_;
};
// What the export writes for each part of a record, to tell which parts a
// bookmark file leaves as they were.
struct RecordParts {
    std::string title;
    std::string color;
    std::string style;
    std::string actions;
};
RecordParts PartsOf(const BookmarkRecord& record);

// Reads the records of a bookmark XML file, in the encoding it declares. A
// record goes under the nearest record before it whose level is lower, or to
// the top. Insert elements count only forUpdate. Throws Error, with
// the line and what is wrong, for a file that is not well-formed XML or holds
// a value the format does not allow. A file read in another encoding than it
// declares is warned of.
std::vector<BookmarkRecord> ReadBookmarks(const std::string& bytes, bool forUpdate,
                                          Warnings* warnings = nullptr);
