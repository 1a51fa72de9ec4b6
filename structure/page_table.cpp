#include "structure/page_table.h"

#include <algorithm>

PageTable PageTable::Build(const Catalog& catalog) {
    PageTable table;
    table.pages_.reserve(catalog.pages().size());
    for (const Page& page : catalog.pages()) {
        const auto object = static_cast<uint32_t>(std::max(page.ref.number, 0));
        table.pages_.push_back(object);
        // A page listed twice is known by its first place.
        if (object != 0)
            table.firstPage_.emplace(object, static_cast<uint32_t>(table.pages_.size()));
    }
    return table;
}

uint32_t PageTable::pageOf(uint32_t objectNumber) const {
    const auto found = firstPage_.find(objectNumber);
    return found == firstPage_.end() ? 0 : found->second;
}
