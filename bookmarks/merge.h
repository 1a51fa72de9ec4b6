#pragma once

#include <cstdint>
#include <vector>

#include "bookmarks/record.h"

// Applies the edits of a bookmark file to an existing outline. The records at
// the top of the file's tree are the edits, in file order: each is matched by
// item number against the outline as it stands, depth first, and the first
// match either gives way to the record with its subtree or, with insert set,
// has it put in after it (after earlier insertions there). Records nested
// under another travel with it. The outline stays at most 256 levels deep: a
// record that would go deeper joins the deepest level. Returns the item
// numbers of the edits that matched nothing.
std::vector<int32_t> MergeBookmarks(std::vector<BookmarkRecord>& existing,
                                    const std::vector<BookmarkRecord>& records);
