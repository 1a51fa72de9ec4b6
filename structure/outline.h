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

using OutlineItemRef = std::pair<int32_t, int32_t>;

// What the walk of one outline has read. A sound outline reads each item once;
// one whose items are shared between parents (no loop, but every path counts)
// gets a few reads per distinct item before its walk stops, so it cannot grow
// without end however small the file.
class OutlineBudget {
public:
    bool allowRead(const OutlineItemRef& ref) {
        distinct_.insert(ref);
        return reads_++ < kReadsPerItem * distinct_.size() + kSlack;
    }

private:
    static constexpr size_t kReadsPerItem = 4;
    static constexpr size_t kSlack = 1000;
    std::set<OutlineItemRef> distinct_;
    size_t reads_ = 0;
};

// One item of an existing outline.
class CPdfOutlineItem {
public:
    // Actions read for one item at most, so that a huge action tree cannot
    // stall the reader.
    static constexpr int kMaxActions = 4096;

    // ref is the item's own reference; parent is the item whose child it is.
    CPdfOutlineItem(const CPdfDictionary& dict, CPdfXRef* itemXRef, OutlineBudget* budget = nullptr,
                    const CPdfOutlineItem* parent = nullptr, OutlineItemRef ref = {-1, -1});

    // Reads the children; they stay until closeKids, and a later openKids reads them again.
    void openKids();
    void closeKids() { kids.reset(); }
    // Whether ref is this item or one of its ancestors.
    bool isOnPath(const OutlineItemRef& itemRef) const;

    CPdfXRef* xref;
    std::string title;  // the bytes of the text string
    uint32_t color = 0;
    std::string style;
    bool open = false;  // a positive Count: the item shows its children
    std::vector<std::unique_ptr<LinkAction>> actions;
    CPdfElement first;
    CPdfElement last;
    CPdfElement next;
    std::unique_ptr<OutlineItemList> kids;
    const CPdfOutlineItem* parent;
    OutlineItemRef ref;

private:
    void readTitle(const CPdfDictionary& dict);
    void readActions(const CPdfDictionary& dict);
    void readActionChain(const CPdfElement& action, std::set<std::pair<int32_t, int32_t>>& seen,
                         int depth);
    void readColor(const CPdfDictionary& dict);
    void readStyle(const CPdfDictionary& dict);

    OutlineBudget* budget_;
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
    OutlineBudget budget_;
};

// The siblings that begin at first, up to last or the end of the Next chain.
// A Next that returns to a sibling of the list or to an ancestor (parent, its
// parent, ...) ends the list: outlines that loop are read once round.
std::unique_ptr<OutlineItemList> readItems(const CPdfElement& first, const CPdfElement& last,
                                           CPdfXRef* xref, OutlineBudget* budget,
                                           const CPdfOutlineItem* parent);
