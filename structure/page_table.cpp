#include "structure/page_table.h"

#include <algorithm>

PageTable PageTable::Build(const Catalog& catalog) {
    PageTable table;
    table.pages_.reserve(catalog.pages().size());
    table.firstPage_.reserve(catalog.pages().size());
    for (const Page& page : catalog.pages()) {
        const auto object = static_cast<uint32_t>(std::max(page.ref.number, 0));
        table.pages_.push_back(object);
        if (object != 0) {
            table.firstPage_.emplace_back(object, static_cast<uint32_t>(table.pages_.size()));
        }
    }
    // A page listed twice is known by its first place: the lowest number sorts
    // first. Most files number their pages in page order, and need no sort.
    if (!std::is_sorted(table.firstPage_.begin(), table.firstPage_.end())) {
        std::sort(table.firstPage_.begin(), table.firstPage_.end());
    }
    table.firstPage_.erase(
        std::unique(table.firstPage_.begin(), table.firstPage_.end(),
                    [](const auto& a, const auto& b) { return a.first == b.first; }),
        table.firstPage_.end());
    return table;
}

uint32_t PageTable::pageOf(uint32_t objectNumber) const {
    const auto found = std::lower_bound(firstPage_.begin(), firstPage_.end(),
                                        std::make_pair(objectNumber, uint32_t{0}));
    return found == firstPage_.end() || found->first != objectNumber ? 0 : found->second;
}
