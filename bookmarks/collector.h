#pragma once

#include <functional>
#include <vector>

#include "base/warnings.h"
#include "bookmarks/record.h"
#include "structure/catalog.h"
#include "structure/outline.h"
#include "structure/page_table.h"

// Turns outline items (and their children, read as it goes) into records,
// numbering them depth first from counter. Named destinations resolve through
// the catalog, page objects through the page table. The records hold what
// the bookmark file says of each item, so that reading the file written from
// them gives them back. What an item is read without (an object it names
// that the file lacks, a named destination that holds none) is warned of.
std::vector<BookmarkRecord> CollectBookmarks(const OutlineItemList& items, const Catalog& catalog,
                                             const PageTable& pages, ItemCounter& counter,
                                             Warnings* warnings = nullptr);

// The same records one at a time, depth first, each given to visit before its
// children and without them (children stays empty): an export writes them as
// they come and never holds the whole outline.
void VisitBookmarks(const OutlineItemList& items, const Catalog& catalog, const PageTable& pages,
                    ItemCounter& counter, Warnings* warnings,
                    const std::function<void(const BookmarkRecord&)>& visit);
