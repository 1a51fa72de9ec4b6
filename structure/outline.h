#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "pdf/element.h"
#include "pdf/xref.h"
#include "structure/link.h"

class CPdfOutlineItem;
using OutlineItemList = std::vector<std::unique_ptr<CPdfOutlineItem>>;

// Outline items already read, by reference. An item is read once per outline,
// so a Next or First that leads back to an item read before ends that list.
using OutlineItemSet = std::set<std::pair<int32_t, int32_t>>;

// The byte-to-Unicode table for titles without a byte-order mark; undefined
// bytes (tab, line feed and carriage return among them) give 0.
uint32_t PdfDocEncodingToUnicode(unsigned char byte);

// One item of an existing outline.
class CPdfOutlineItem {
public:
    // Actions read for one item at most, so that a huge action tree cannot
    // stall the reader.
    static constexpr int kMaxActions = 4096;

    CPdfOutlineItem(const CPdfDictionary& dict, CPdfXRef* itemXRef, OutlineItemSet* seen);

    // Reads the children (once; they stay until closeKids).
    void openKids();
    void closeKids() { kids.reset(); }

    CPdfXRef* xref;
    std::vector<uint32_t> titleCodes;
    std::string title;
    uint32_t color = 0;
    std::string style;
    int32_t titleLength = 0;
    std::vector<std::unique_ptr<LinkAction>> actions;
    CPdfElement first;
    CPdfElement last;
    CPdfElement next;
    std::unique_ptr<OutlineItemList> kids;

private:
    void readTitle(const CPdfDictionary& dict);
    void readActions(const CPdfDictionary& dict);
    void readActionChain(const CPdfElement& action, std::set<std::pair<int32_t, int32_t>>& seen,
                         int depth);
    void readColor(const CPdfDictionary& dict);
    void readStyle(const CPdfDictionary& dict);

    OutlineItemSet* seen_;
};

// The existing outline; items is null when the catalog has no outline dictionary.
class CPdfOutline {
public:
    CPdfOutline(const CPdfElement& outlines, CPdfXRef* xref);
    CPdfOutline(const CPdfOutline&) = delete;
    CPdfOutline& operator=(const CPdfOutline&) = delete;
    virtual ~CPdfOutline() = default;

    std::unique_ptr<OutlineItemList> items;

private:
    OutlineItemSet seen_;
};

// The siblings that begin at first, up to last or the end of the Next chain.
std::unique_ptr<OutlineItemList> readItems(const CPdfElement& first, const CPdfElement& last,
                                           CPdfXRef* xref, OutlineItemSet* seen);
