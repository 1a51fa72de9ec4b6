#pragma once

#include <vector>

#include "bookmarks/record.h"

// Applies the records of a bookmark file to an existing outline by item
// number: a record replaces the item of its number (with the record's
// children), or with insert set goes in after it. Every record of the tree,
// children included, is applied in file order.
void MergeBookmarks(std::vector<BookmarkRecord>& existing,
                    const std::vector<BookmarkRecord>& records);
