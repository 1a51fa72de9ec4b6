#pragma once

#include <cstdint>
#include <vector>

#include "base/warnings.h"
#include "bookmarks/record.h"

// Applies the edits of a bookmark file to an existing outline, gathered by
// CollectBookmarks. The records at the top of the file's tree are the edits,
// in file order: each is matched by item number against the outline as it
// stands, depth first, and the first match either gives way to the record
// with its subtree or, with insert set, has it put in after it (after
// earlier insertions there). Records nested under another travel with it.
//
// Every record of the file but an inserted edit stands for the input item of
// its number, if there is one: it keeps that item's object, and the parts
// (title, colour, style, actions) it leaves as the export wrote them are
// copied as they stand. The outline stays at most 256 levels deep: a record
// that would go deeper joins the deepest level. Warns, in edit order, of the
// edits that matched nothing and the replacements that removed items the
// file does not hold. The records are taken over, so that a large outline is
// not copied.
void MergeBookmarks(std::vector<BookmarkRecord>& existing, std::vector<BookmarkRecord> records,
                    Warnings& warnings);
