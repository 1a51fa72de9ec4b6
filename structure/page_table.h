#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "structure/catalog.h"

// The object number of every page of the input, in page order: how a go-to
// names its page object, and how an export turns a page object into a number.
class PageTable {
public:
    // The pages the catalog's walk of the page tree found, in its order.
    static PageTable Build(const Catalog& catalog);
    uint32_t count() const { return static_cast<uint32_t>(pages_.size()); }
    // The object of page 1 to count(); 0 for a page given directly, not by reference.
    uint32_t objectOf(uint32_t page) const { return pages_[page - 1]; }
    // The number (from 1) of the first page held by the object, or 0.
    uint32_t pageOf(uint32_t objectNumber) const;

private:
    std::vector<uint32_t> pages_;
    // Page object and its first page number, ordered by object: one block
    // however many pages, where a map would allocate for each.
    std::vector<std::pair<uint32_t, uint32_t>> firstPage_;
};
