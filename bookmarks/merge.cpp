#include "bookmarks/merge.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <unordered_map>

namespace {

constexpr int kMaxLevels = 256;  // as every outline the tool reads or writes

struct Node {
    BookmarkRecord record;  // its children live in kids
    std::vector<std::unique_ptr<Node>> kids;
    Node* parent = nullptr;
    int depth = 0;        // 0 at the top level
    size_t inserted = 0;  // nodes already inserted after this one
};
using NodeList = std::vector<std::unique_ptr<Node>>;

// The outline as a tree of nodes that stay where they are while others are
// inserted, with every node findable by its item number.
class Outline {
public:
    // Takes the records over: an outline of many items is held once, not twice.
    explicit Outline(std::vector<BookmarkRecord> records) {
        for (BookmarkRecord& record : records) build(root_.kids, &root_, 0, std::move(record));
    }

    // False when no item has the edit's number.
    bool apply(const BookmarkRecord& edit) {
        Node* match = find(edit.item);
        if (match == nullptr) return false;
        NodeList& siblings = match->parent->kids;
        const auto at = std::find_if(siblings.begin(), siblings.end(),
                                     [match](const auto& node) { return node.get() == match; });
        NodeList made;
        build(made, match->parent, match->depth, edit);
        if (edit.insert) {
            const auto position = std::next(at, 1 + static_cast<std::ptrdiff_t>(match->inserted));
            match->inserted += made.size();
            siblings.insert(position, std::make_move_iterator(made.begin()),
                            std::make_move_iterator(made.end()));
        } else {
            forget(*match);
            const auto position = siblings.erase(at);
            siblings.insert(position, std::make_move_iterator(made.begin()),
                            std::make_move_iterator(made.end()));
        }
        return true;
    }

    // The records of the outline as it now stands; the outline is left empty.
    std::vector<BookmarkRecord> takeRecords() {
        byItem_.clear();
        return TakeRecordsOf(root_.kids);
    }

private:
    // Adds the record and its subtree to list at depth; below the deepest
    // level, children join the list instead of nesting further.
    void build(NodeList& list, Node* parent, int depth, BookmarkRecord record) {
        std::vector<BookmarkRecord> children = std::move(record.children);
        record.children.clear();
        auto node = std::make_unique<Node>();
        byItem_[record.item].push_back(node.get());
        node->record = std::move(record);
        node->parent = parent;
        node->depth = depth;
        Node* own = node.get();
        list.push_back(std::move(node));
        for (BookmarkRecord& child : children) {
            if (depth + 1 < kMaxLevels) {
                build(own->kids, own, depth + 1, std::move(child));
            } else {
                build(list, parent, depth, std::move(child));
            }
        }
    }

    // Takes a node and its subtree out of the index.
    void forget(Node& node) {
        auto& nodes = byItem_[node.record.item];
        nodes.erase(std::remove(nodes.begin(), nodes.end(), &node), nodes.end());
        for (const auto& kid : node.kids) forget(*kid);
    }

    // The first node with the item number in depth-first order.
    Node* find(int32_t item) {
        const auto found = byItem_.find(item);
        if (found == byItem_.end() || found->second.empty()) return nullptr;
        const std::vector<Node*>& nodes = found->second;
        return *std::min_element(nodes.begin(), nodes.end(),
                                 [](Node* a, Node* b) { return PathOf(a) < PathOf(b); });
    }

    // The positions among siblings from the top down to the node.
    static std::vector<size_t> PathOf(const Node* node) {
        std::vector<size_t> path;
        for (; node->parent != nullptr; node = node->parent) {
            const NodeList& siblings = node->parent->kids;
            path.push_back(static_cast<size_t>(
                std::find_if(siblings.begin(), siblings.end(),
                             [node](const auto& other) { return other.get() == node; }) -
                siblings.begin()));
        }
        std::reverse(path.begin(), path.end());
        return path;
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
    std::unordered_map<int32_t, std::vector<Node*>> byItem_;
};

}  // namespace

std::vector<int32_t> MergeBookmarks(std::vector<BookmarkRecord>& existing,
                                    const std::vector<BookmarkRecord>& records) {
    Outline outline(std::move(existing));
    std::vector<int32_t> unmatched;
    for (const BookmarkRecord& edit : records) {
        if (!outline.apply(edit)) unmatched.push_back(edit.item);
    }
    existing = outline.takeRecords();
    return unmatched;
}
