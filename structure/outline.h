#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/warnings.h"
#include "pdf/object.h"
#include "pdf/xref.h"
#include "structure/link.h"

class OutlineItem;
using OutlineItemList = std::vector<std::unique_ptr<OutlineItem>>;

using OutlineItemRef = std::pair<int32_t, int32_t>;

// Item keys met by a walk. Open addressing: the walks ask once per item, and
// a node of a standard set per key cost more than the whole look-up.
class ItemKeySet {
public:
    // True when key was not in the set yet.
    bool insert(uint64_t key);
    size_t size() const { return size_; }

private:
    static constexpr uint64_t kFree = ~uint64_t{0};
    void grow();

    std::vector<uint64_t> slots_;  // kFree, or a key
    bool holdsFreeKey_ = false;    // kFree itself is a key too
    size_t size_ = 0;
};

// What the walk of one outline has read. A sound outline reads each item once;
// one whose items are shared between parents (no loop, but every path counts)
// gets a few reads per distinct item before its walk stops, so it cannot grow
// without end however small the file.
class OutlineBudget {
public:
    bool allowRead(const OutlineItemRef& ref) {
        distinct_.insert(Key(ref));
        return reads_++ < kReadsPerItem * distinct_.size() + kSlack;
    }
    static uint64_t Key(const OutlineItemRef& ref) {
        return static_cast<uint64_t>(static_cast<uint32_t>(ref.first)) << 32 |
               static_cast<uint32_t>(ref.second);
    }

private:
    static constexpr size_t kReadsPerItem = 4;
    static constexpr size_t kSlack = 1000;
    ItemKeySet distinct_;
    size_t reads_ = 0;
};

// One item of an existing outline.
class OutlineItem {
public:
    // Actions read for one item at most, so that a huge action tree cannot
    // stall the reader.
    static constexpr int kMaxActions = 4096;
    // The keys an item is read for; nothing else of its dictionary is built.
    static const std::vector<std::string>& Keys();

    // ref is the item's own reference; parent is the item whose child it is.
    // warnings hears of items that cannot be read among its children.
    OutlineItem(const pdf::Dictionary& dict, pdf::XRef& xref, OutlineBudget* budget = nullptr,
                const OutlineItem* parent = nullptr, OutlineItemRef ref = {-1, -1},
                Warnings* warnings = nullptr);

    // Reads the children; they stay until closeKids, and a later openKids reads them again.
    void openKids();
    void closeKids() { kids.reset(); }
    // Whether ref is this item or one of its ancestors.
    bool isOnPath(const OutlineItemRef& itemRef) const;

    std::string title;  // the bytes of the text string
    uint32_t color = 0;
    std::string style;
    bool open = false;  // a positive Count: the item shows its children
    std::vector<std::unique_ptr<LinkAction>> actions;
    pdf::Object first;
    pdf::Object last;
    pdf::Object next;
    std::unique_ptr<OutlineItemList> kids;
    const OutlineItem* parent;
    OutlineItemRef ref;
    // References the item's own entries hold that name no object: what the
    // item is read without.
    std::vector<pdf::Reference> missing;

private:
    void readEntries(const pdf::Dictionary& dict);
    void readActions(const pdf::Dictionary& dict);
    void readActionChain(const pdf::Object& action, std::set<std::pair<int32_t, int32_t>>& seen,
                         int depth);
    void readColor(const pdf::Dictionary& dict);
    void readStyle(const pdf::Dictionary& dict);

    pdf::XRef& xref_;
    OutlineBudget* budget_;
    Warnings* warnings_;
};

// The existing outline; items is null when the catalog has no outline dictionary.
class Outline {
public:
    Outline(const pdf::Object& outlines, pdf::XRef& xref, Warnings* warnings = nullptr);
    Outline(const Outline&) = delete;
    Outline& operator=(const Outline&) = delete;

    std::unique_ptr<OutlineItemList> items;

private:
    OutlineBudget budget_;
};

// The siblings that begin at first, to the end of the Next chain, whatever
// Last says. A Next that returns to a sibling of the list or to an ancestor
// (parent, its parent, ...) ends the list: outlines that loop are read once
// round. An item that cannot be read ends it too, and is warned of.
std::unique_ptr<OutlineItemList> ReadItems(const pdf::Object& first, pdf::XRef& xref,
                                           OutlineBudget* budget, const OutlineItem* parent,
                                           Warnings* warnings);

// The object numbers of the document's outline objects: the outline
// dictionary the catalog names and every item that First and Next links
// reach from it, each once, in no particular order. Items that a damaged
// outline shares or loops through are met once.
std::vector<uint32_t> OutlineObjectNumbers(pdf::XRef& xref);
