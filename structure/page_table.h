#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "pdf/raw_object.h"
#include "structure/catalog.h"

// The object number of every page of the input, in page order: how a go-to
// names its page object, and how an export turns a page object into a number.
class PageTable {
public:
    // Walks the page tree in raw object text from the catalog's /Pages.
    // Throws "PDF file was damaged.\n" when a kid cannot be fetched.
    static PageTable Build(const RawObjects& input, const CPdfCatalog& catalog,
                           uint32_t rootObject);

    uint32_t count() const { return static_cast<uint32_t>(pages_.size()); }
    // The object of page 1 to count().
    uint32_t objectOf(uint32_t page) const { return pages_[page - 1]; }
    // The number (from 1) of the first page held by the object, or 0.
    uint32_t pageOf(uint32_t objectNumber) const;

private:
    class Walk;

    std::vector<uint32_t> pages_;
};
