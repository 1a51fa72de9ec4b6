#pragma once

#include <vector>

#include "bookmarks/record.h"
#include "structure/catalog.h"
#include "structure/outline.h"
#include "structure/page_table.h"

// How gathered titles are held: the escaped Name value of the XML file, or
// the title's bytes ready for a PDF literal string (what the update job writes).
enum class TitleForm { Xml, Pdf };

// Turns outline items (and their children, read as it goes) into records,
// numbering them depth first from counter. Named destinations resolve through
// the catalog, page objects through the page table.
std::vector<BookmarkRecord> CollectBookmarks(const OutlineItemList& items,
                                             const CPdfCatalog& catalog, const PageTable& pages,
                                             TitleForm form, ItemCounter& counter);
