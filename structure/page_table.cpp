#include "structure/page_table.h"

#include <algorithm>

PageTable PageTable::Build(const CPdfCatalog& catalog) {
    PageTable table;
    table.pages_.reserve(catalog.pages.size());
    for (const CPdfPage& page : catalog.pages) {
        table.pages_.push_back(static_cast<uint32_t>(std::max(page.ref.number, 0)));
    }
    return table;
}

uint32_t PageTable::pageOf(uint32_t objectNumber) const {
    for (size_t i = 0; i < pages_.size(); ++i) {
        if (pages_[i] == objectNumber && objectNumber != 0) return static_cast<uint32_t>(i + 1);
    }
    return 0;
}
