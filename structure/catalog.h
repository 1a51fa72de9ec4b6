#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/warnings.h"
#include "pdf/object.h"
#include "pdf/xref.h"
#include "structure/link.h"

// One leaf of the page tree: its place and the object that holds it. Nothing
// else of a page is read: the jobs never need it.
struct Page {
    uint32_t number = 0;
    LinkPageRef ref;  // the page object; 0 0 for a page given directly
};

// The document catalog: its page list, its outline root and the two places
// that hold named destinations.
class Catalog {
public:
    // Page trees and name trees deeper than this are taken as damaged.
    static constexpr int kMaxTreeDepth = 256;

    // Reads the catalog of the table's trailer and walks its page tree.
    // Throws Error only when the catalog is no dictionary; a page-tree node
    // that cannot be read counts as one page, so that the pages after it keep
    // their numbers, and is warned of.
    explicit Catalog(pdf::XRef& xref, Warnings* warnings = nullptr);
    Catalog(const Catalog&) = delete;
    Catalog& operator=(const Catalog&) = delete;

    // The destination a name stands for, or null; null too when the name
    // holds something else, which sets notADestination when given.
    std::unique_ptr<LinkDestination> findDest(const std::string& name,
                                              bool* notADestination = nullptr) const;
    // The value a name has in a name tree, or null.
    pdf::Object findInNameTree(const pdf::Object& root, const std::string& name) const;

    const std::vector<Page>& pages() const { return pages_; }
    const pdf::Object& outlines() const { return outlines_; }

private:
    using RefSet = std::set<std::pair<int32_t, int32_t>>;
    // A name-tree node read once: a leaf's string keys with their places in
    // Names, or the kids whose Limits can hold a name. When they are in order a
    // binary search finds what a scan from the start finds; otherwise the
    // entries are scanned. A node whose entries cannot all be read at once
    // (a reference where a key stands, a kid that cannot be read) is not
    // indexed, and is searched as it stands.
    struct NameNodeIndex {
        struct Kid {
            size_t index;
            std::string lower;
            std::string upper;
        };
        bool indexed = false;
        bool leaf = false;
        bool ordered = true;
        pdf::Object entries;  // the Names or Kids array
        std::vector<std::pair<std::string, size_t>> keys;
        std::vector<Kid> kids;
    };
    // Walks one node of the page tree; visited holds the nodes met so far.
    void readPageTree(const pdf::Dictionary& node, RefSet& visited, int depth);
    // A page-tree kid that cannot be read: one page, warned of.
    void addUnreadablePage(const pdf::Object& kid);
    // Every name of a name tree and its value, read once, ignoring the Limits
    // of its nodes: where the Limits do not hold, the search by them misses.
    const std::unordered_map<std::string, pdf::Object>& allNames() const;
    void gatherNames(const pdf::Object& node, RefSet& visited, int depth,
                     std::unordered_map<std::string, pdf::Object>& names) const;
    pdf::Object searchNameTree(const pdf::Object& node, const std::string& name, RefSet& visited,
                               int depth) const;
    pdf::Object resolveKid(const pdf::Array& kids, size_t index) const;
    // The Limits of a name-tree kid that is a dictionary with two bounds or
    // more, or null; kid and limits hold what the array points to.
    const pdf::Array* kidLimits(const pdf::Array& kids, size_t index, pdf::Object& kid,
                                pdf::Object& limits) const;
    const NameNodeIndex& indexOf(const pdf::Dictionary& node) const;
    NameNodeIndex readNameNode(const pdf::Dictionary& node) const;
    pdf::Object searchIndexedLeaf(const NameNodeIndex& index, const std::string& name) const;
    pdf::Object searchIndexedKids(const NameNodeIndex& index, const std::string& name,
                                  RefSet& visited, int depth) const;

    pdf::XRef& xref_;
    Warnings* warnings_;
    std::vector<Page> pages_;
    pdf::Object outlines_;
    pdf::Object dests_;
    pdf::Object nameTree_;
    mutable std::map<std::pair<int32_t, int32_t>, pdf::Object> resolvedKids_;
    mutable std::unordered_map<const pdf::Dictionary*, NameNodeIndex> nameNodes_;
    mutable std::unique_ptr<std::unordered_map<std::string, pdf::Object>> allNames_;
};
