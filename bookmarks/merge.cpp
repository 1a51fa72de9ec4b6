#include "bookmarks/merge.h"

#include <algorithm>
#include <iterator>
#include <list>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "base/text_format.h"
#include "bookmarks/bookmark_xml.h"

namespace {

// What an edit of the bookmark file did that the user should hear of.
struct EditReport {
    int32_t item = 0;
    bool matched = false;          // false: no item has the edit's number
    std::vector<int32_t> removed;  // items below the replaced one the file does not hold
};

}  // namespace

namespace {

constexpr int kMaxLevels = 256;  // as every outline the tool reads or writes

struct Node;
using NodeList = std::list<std::unique_ptr<Node>>;

struct Node {
    BookmarkRecord record;  // its children live in kids
    NodeList kids;
    Node* parent = nullptr;
    NodeList::iterator self;  // its place among its siblings
    int depth = 0;            // 0 at the top level
    size_t inserted = 0;      // nodes already inserted after this one
};

// An input item, to tell which parts a record of the file changes. Its record
// stays in a node that lives as long as the outline, replaced or not, and is
// written out as the export would only when a record is compared with it: a
// large outline is not held a second time as text.
struct InputItem {
    int32_t source;
    const BookmarkRecord* record;
};

// The outline as a tree of nodes that stay where they are while others are
// inserted, with every node findable by its item number.
class Outline {
public:
    // Takes the records over: an outline of many items is held once, not twice.
    Outline(std::vector<BookmarkRecord> records, const std::vector<BookmarkRecord>& edits) {
        for (const BookmarkRecord& edit : edits) noteNumbers(edit);
        for (BookmarkRecord& record : records) {
            build(root_.kids, root_.kids.end(), &root_, 0, std::move(record), false);
        }
    }

    EditReport apply(BookmarkRecord edit) {
        EditReport report;
        report.item = edit.item;
        Node* match = find(edit.item);
        if (match == nullptr) return report;
        report.matched = true;
        NodeList& siblings = match->parent->kids;
        if (edit.insert) {
            auto position = std::next(match->self);
            for (size_t k = 0; k < match->inserted && position != siblings.end(); ++k) ++position;
            // An inserted record is a new item, whatever its number says.
            match->inserted +=
                build(siblings, position, match->parent, match->depth, std::move(edit), true);
        } else {
            for (const auto& kid : match->kids) gatherRemoved(*kid, report.removed);
            forget(*match);
            // The match leaves its place; its node stays aside for the records
            // of the file that stand for items of its subtree.
            const auto position = std::next(match->self);
            replaced_.splice(replaced_.end(), siblings, match->self);
            build(siblings, position, match->parent, match->depth, std::move(edit), false);
        }
        return report;
    }

    // The records of the outline as it now stands; the outline is left empty.
    std::vector<BookmarkRecord> takeRecords() {
        byItem_.clear();
        return TakeRecordsOf(root_.kids);
    }

private:
    // The numbers the bookmark file holds, and the input items a record of it
    // may stand for.
    void noteNumbers(const BookmarkRecord& record) {
        inFile_.insert(record.item);
        for (const BookmarkRecord& child : record.children) noteNumbers(child);
    }

    // A record of the file takes over the input item of its number.
    void matchInputItem(BookmarkRecord& record) const {
        const auto found = inputItems_.find(record.item);
        if (found == inputItems_.end()) return;
        const RecordParts parts = PartsOf(record);
        const RecordParts input = PartsOf(*found->second.record);
        record.source = found->second.source;
        record.kept = {parts.title == input.title, parts.color == input.color,
                       parts.style == input.style, parts.actions == input.actions};
    }

    // Puts the record and its subtree into list before position, at depth;
    // below the deepest level, children join the list instead of nesting
    // further. Returns how many nodes went into list.
    size_t build(NodeList& list, NodeList::iterator position, Node* parent, int depth,
                 BookmarkRecord record, bool isNew) {
        std::vector<BookmarkRecord> children = std::move(record.children);
        record.children.clear();
        const bool fromInput = record.source != 0;
        if (!fromInput && !isNew) matchInputItem(record);
        auto node = std::make_unique<Node>();
        Node* own = node.get();
        byItem_[record.item].push_back(own);
        own->record = std::move(record);
        if (fromInput) {
            inputItems_.emplace(own->record.item, InputItem{own->record.source, &own->record});
        }
        own->parent = parent;
        own->depth = depth;
        own->self = list.insert(position, std::move(node));
        size_t placed = 1;
        for (BookmarkRecord& child : children) {
            if (depth + 1 < kMaxLevels) {
                build(own->kids, own->kids.end(), own, depth + 1, std::move(child), false);
            } else {
                placed += build(list, position, parent, depth, std::move(child), false);
            }
        }
        return placed;
    }

    // The input items of a subtree that the bookmark file does not hold.
    void gatherRemoved(const Node& node, std::vector<int32_t>& removed) const {
        if (node.record.source != 0 && inFile_.count(node.record.item) == 0) {
            removed.push_back(node.record.item);
        }
        for (const auto& kid : node.kids) gatherRemoved(*kid, removed);
    }

    // Takes a node and its subtree out of the index.
    void forget(Node& node) {
        auto& nodes = byItem_[node.record.item];
        nodes.erase(std::remove(nodes.begin(), nodes.end(), &node), nodes.end());
        for (const auto& kid : node.kids) forget(*kid);
    }

    // The first node with the item number in depth-first order.
    Node* find(int32_t item) const {
        const auto found = byItem_.find(item);
        if (found == byItem_.end() || found->second.empty()) return nullptr;
        const std::vector<Node*>& nodes = found->second;
        return *std::min_element(nodes.begin(), nodes.end(), Precedes);
    }

    // Whether a stands before b, depth first.
    static bool Precedes(const Node* a, const Node* b) {
        if (a == b) return false;
        // Bring both to the same depth; an ancestor stands before its descendants.
        const Node* x = a;
        const Node* y = b;
        while (x->depth > y->depth) x = x->parent;
        while (y->depth > x->depth) y = y->parent;
        if (x == y) return a->depth < b->depth;
        while (x->parent != y->parent) {
            x = x->parent;
            y = y->parent;
        }
        for (auto at = std::next(x->self); at != x->parent->kids.end(); ++at) {
            if (at->get() == y) return true;
        }
        return false;
    }

    static std::vector<BookmarkRecord> TakeRecordsOf(NodeList& nodes) {
        std::vector<BookmarkRecord> records;
        records.reserve(nodes.size());
        for (const auto& node : nodes) {
            records.push_back(std::move(node->record));
            records.back().children = TakeRecordsOf(node->kids);
        }
        nodes.clear();
        return records;
    }

    Node root_;
    NodeList replaced_;  // taken out of the outline, kept for their records
    std::unordered_map<int32_t, std::vector<Node*>> byItem_;
    std::unordered_map<int32_t, InputItem> inputItems_;
    std::unordered_set<int32_t> inFile_;
};

}  // namespace

namespace {

// "item 2", "items 2 and 4", "items 2, 4 and 5".
std::string ItemList(const std::vector<int32_t>& items) {
    std::string list = items.size() == 1 ? "item " : "items ";
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) list += i + 1 == items.size() ? " and " : ", ";
        list += std::to_string(items[i]);
    }
    return list;
}

}  // namespace

void MergeBookmarks(std::vector<BookmarkRecord>& existing, std::vector<BookmarkRecord> records,
                    Warnings& warnings) {
    Outline outline(std::move(existing), records);
    for (BookmarkRecord& edit : records) {
        const EditReport report = outline.apply(std::move(edit));
        if (!report.matched) {
            warnings.add(Format("Warning: no item %d in the outline; its record was not applied",
                                report.item));
        } else if (!report.removed.empty()) {
            warnings.add(Format(
                "Warning: the record of item %d removes %s, which the bookmark file does not hold",
                report.item, ItemList(report.removed).c_str()));
        }
    }
    existing = outline.takeRecords();
}
