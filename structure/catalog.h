#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "pdf/element.h"
#include "pdf/xref.h"
#include "structure/link.h"

// One leaf of the page tree: its place and the object that holds it. Nothing
// else of a page is read: the jobs never need it.
struct CPdfPage {
    uint32_t number = 0;
    LinkPageRef ref;  // the page object; 0 0 for a page given directly
};

// The document catalog: its page list, its outline root and the two places
// that hold named destinations.
class CPdfCatalog {
public:
    // Page trees and name trees deeper than this are taken as damaged.
    static constexpr int kMaxTreeDepth = 256;

    CPdfCatalog() = default;
    CPdfCatalog(const CPdfCatalog&) = delete;
    CPdfCatalog& operator=(const CPdfCatalog&) = delete;
    virtual ~CPdfCatalog() = default;

    // Throws CPdfException when the catalog or page tree has the wrong shape.
    void readCatalog(CPdfXRef* catalogXRef);

    // The destination a name stands for, or null. Throws "Bad named
    // destination value\n" when the name holds something else.
    std::unique_ptr<LinkDestination> findDest(const std::string& name) const;
    void findDestInTree(const CPdfElement& node, const std::string& name,
                        CPdfElement& target) const;

    int getPageCount() const { return static_cast<int>(pages.size()); }

    CPdfXRef* xref = nullptr;
    std::vector<CPdfPage> pages;
    CPdfElement outlines;
    CPdfElement dests;
    CPdfElement nameTree;

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
            int index;
            std::string lower;
            std::string upper;
        };
        bool indexed = false;
        bool leaf = false;
        bool ordered = true;
        CPdfElement entries;  // the Names or Kids array
        std::vector<std::pair<std::string, int>> keys;
        std::vector<Kid> kids;
    };
    // Walks one node of the page tree; visited holds the nodes met so far.
    void readPageTree(const CPdfDictionary& node, RefSet& visited, int depth);
    void searchNameTree(const CPdfElement& node, const std::string& name, CPdfElement& target,
                        RefSet& visited, int depth) const;
    void ResolveKid(const CPdfArray& kids, int index, CPdfElement& kid) const;
    // The Limits of a name-tree kid that is a dictionary with two bounds or
    // more, or null; kid and limits hold what the array points to.
    const CPdfArray* KidLimits(const CPdfArray& kids, int index, CPdfElement& kid,
                               CPdfElement& limits) const;
    const NameNodeIndex& IndexOf(const CPdfDictionary& node) const;
    NameNodeIndex ReadNameNode(const CPdfDictionary& node) const;
    void searchIndexedLeaf(const NameNodeIndex& index, const std::string& name,
                           CPdfElement& target) const;
    void searchIndexedKids(const NameNodeIndex& index, const std::string& name, CPdfElement& target,
                           RefSet& visited, int depth) const;

    mutable std::map<std::pair<int32_t, int32_t>, CPdfElement> resolvedKids_;
    mutable std::unordered_map<const CPdfDictionary*, NameNodeIndex> nameNodes_;
};
