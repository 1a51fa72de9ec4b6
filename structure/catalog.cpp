#include "structure/catalog.h"

#include <algorithm>

#include "base/exception.h"

namespace {

[[noreturn]] void KidsWrongType() {
    throw CPdfException("Kids CPdfElement is wrong type\n");
}

// Whether a reference has been met before; direct values are never repeated.
bool SeenBefore(const CPdfElement& unresolved, std::set<std::pair<int32_t, int32_t>>& visited) {
    if (!unresolved.isRef()) return false;
    return !visited.insert({unresolved.getRefNum(), unresolved.getRefGen()}).second;
}

}  // namespace

void CPdfCatalog::readCatalog(CPdfXRef* catalogXRef) {
    xref = catalogXRef;
    pages.clear();

    CPdfElement catalog;
    xref->fetch(xref->rootNum, xref->rootGen, catalog);
    const CPdfDictionary* dict = catalog.getDict();
    if (dict == nullptr) throw CPdfException("Catalog CPdfElement is wrong type\n");

    CPdfElement pagesRoot;
    dict->lookup("Pages", pagesRoot);
    if (!pagesRoot.isDict()) throw CPdfException("Top-level pages CPdfElement is wrong type\n");
    CPdfElement count;
    pagesRoot.getDict()->lookup("Count", count);
    if (!count.isNum()) {
        throw CPdfException("Page count in top-level pages CPdfElement is wrong type\n");
    }

    // Nodes are remembered by reference, so that a Kids entry leading back to a
    // node already walked ends the walk instead of running forever.
    RefSet visited;
    CPdfElement rootRef;
    dict->lookupNF("Pages", rootRef);
    SeenBefore(rootRef, visited);
    readPageTree(*pagesRoot.getDict(), visited, 0);

    dict->lookup("Dests", dests);
    CPdfElement names;
    dict->lookup("Names", names);
    if (names.isDict()) {
        names.getDict()->lookup("Dests", nameTree);
    } else {
        nameTree.initNull();
    }
    dict->lookup("Outlines", outlines);
}

void CPdfCatalog::readPageTree(const CPdfDictionary& node, RefSet& visited, int depth) {
    if (depth >= kMaxTreeDepth) KidsWrongType();
    CPdfElement kids;
    node.lookup("Kids", kids);
    if (!kids.isArray()) KidsWrongType();
    const CPdfArray& array = *kids.getArray();
    for (int i = 0; i < array.getLength(); ++i) {
        CPdfElement kid;
        array.get(i, kid);
        const CPdfDictionary* kidDict = kid.getDict();
        if (kidDict == nullptr) throw CPdfException("Kid CPdfElement is wrong type\n");
        CPdfElement unresolved;
        array.getNF(i, unresolved);
        if (kidDict->is("Page")) {
            // A page may well be listed twice; it then counts twice.
            CPdfPage page;
            page.number = static_cast<uint32_t>(pages.size() + 1);
            if (unresolved.isRef()) page.ref = {unresolved.getRefNum(), unresolved.getRefGen()};
            pages.push_back(page);
            continue;
        }
        // A node met before would lead the walk round in a circle, or make a
        // tree that shares nodes grow without end.
        if (SeenBefore(unresolved, visited)) KidsWrongType();
        readPageTree(*kidDict, visited, depth + 1);
    }
}

std::unique_ptr<LinkDestination> CPdfCatalog::findDest(const std::string& name) const {
    CPdfElement value;
    if (dests.isDict()) dests.getDict()->lookup(name, value);
    if (value.isNone() || value.isNull()) {
        if (!nameTree.isDict()) return nullptr;
        findDestInTree(nameTree, name, value);
        if (value.isNull()) return nullptr;
    }

    std::unique_ptr<LinkDestination> dest;
    if (value.isArray()) {
        dest = std::make_unique<LinkDestination>(*value.getArray());
    } else if (value.isDict()) {
        CPdfElement inner;
        value.getDict()->lookup("D", inner);
        if (!inner.isArray()) throw CPdfException("Bad named destination value\n");
        dest = std::make_unique<LinkDestination>(*inner.getArray());
    } else {
        throw CPdfException("Bad named destination value\n");
    }
    if (!dest->isOk()) return nullptr;
    return dest;
}

void CPdfCatalog::findDestInTree(const CPdfElement& node, const std::string& name,
                                 CPdfElement& target) const {
    RefSet visited;
    searchNameTree(node, name, target, visited, 0);
}

// Each lookup walks the tree from its root: kids read once are kept, so that
// looking up every destination of a document does not read the tree again
// and again.
void CPdfCatalog::ResolveKid(const CPdfArray& kids, int index, CPdfElement& kid) const {
    CPdfElement unresolved;
    kids.getNF(index, unresolved);
    if (!unresolved.isRef()) return kids.get(index, kid);
    const auto key = std::make_pair(unresolved.getRefNum(), unresolved.getRefGen());
    const auto cached = resolvedKids_.find(key);
    if (cached != resolvedKids_.end()) return cached->second.copy(kid);
    kids.get(index, kid);
    kid.copy(resolvedKids_[key]);
}

void CPdfCatalog::searchNameTree(const CPdfElement& node, const std::string& name,
                                 CPdfElement& target, RefSet& visited, int depth) const {
    target.initNull();
    const CPdfDictionary* dict = node.getDict();
    if (dict == nullptr || depth >= kMaxTreeDepth) return;

    const NameNodeIndex& index = IndexOf(*dict);
    if (index.indexed && index.leaf) return searchIndexedLeaf(index, name, target);
    if (index.indexed) return searchIndexedKids(index, name, target, visited, depth);

    CPdfElement names;
    dict->lookup("Names", names);
    if (names.isArray()) {
        const CPdfArray& pairs = *names.getArray();
        for (int i = 0; i + 1 < pairs.getLength(); i += 2) {
            CPdfElement key;
            pairs.get(i, key);
            if (!key.isString()) continue;
            int order = name.compare(key.getText());
            if (order == 0) {
                pairs.get(i + 1, target);
                return;
            }
            if (order < 0) return;
        }
        return;
    }

    CPdfElement kids;
    dict->lookup("Kids", kids);
    if (!kids.isArray()) return;
    const CPdfArray& array = *kids.getArray();
    for (int i = 0; i < array.getLength(); ++i) {
        CPdfElement kid, limits;
        const CPdfArray* bounds = KidLimits(array, i, kid, limits);
        if (bounds == nullptr) continue;
        CPdfElement lower, upper;
        bounds->get(0, lower);
        if (!lower.isString() || name.compare(lower.getText()) < 0) continue;
        bounds->get(1, upper);
        if (!upper.isString() || name.compare(upper.getText()) > 0) continue;
        // A kid met before would lead the search around in a circle.
        CPdfElement unresolved;
        array.getNF(i, unresolved);
        if (SeenBefore(unresolved, visited)) continue;
        searchNameTree(kid, name, target, visited, depth + 1);
        if (!target.isNull()) return;
    }
    target.initNull();
}

const CPdfArray* CPdfCatalog::KidLimits(const CPdfArray& kids, int index, CPdfElement& kid,
                                        CPdfElement& limits) const {
    ResolveKid(kids, index, kid);
    const CPdfDictionary* kidDict = kid.getDict();
    if (kidDict == nullptr) return nullptr;
    kidDict->lookup("Limits", limits);
    const CPdfArray* bounds = limits.getArray();
    return bounds != nullptr && bounds->getLength() >= 2 ? bounds : nullptr;
}

const CPdfCatalog::NameNodeIndex& CPdfCatalog::IndexOf(const CPdfDictionary& node) const {
    auto found = nameNodes_.find(&node);
    if (found == nameNodes_.end()) found = nameNodes_.emplace(&node, ReadNameNode(node)).first;
    return found->second;
}

CPdfCatalog::NameNodeIndex CPdfCatalog::ReadNameNode(const CPdfDictionary& node) const {
    NameNodeIndex index;
    try {
        node.lookup("Names", index.entries);
        if (const CPdfArray* pairs = index.entries.getArray()) {
            index.leaf = true;
            for (int i = 0; i + 1 < pairs->getLength(); i += 2) {
                CPdfElement key;
                pairs->getNF(i, key);
                if (key.isRef()) return {};
                if (!key.isString()) continue;
                index.ordered &= index.keys.empty() || index.keys.back().first <= key.getText();
                index.keys.emplace_back(key.getText(), i);
            }
            index.indexed = true;
            return index;
        }
        node.lookup("Kids", index.entries);
        const CPdfArray* kids = index.entries.getArray();
        if (kids == nullptr) return {};
        for (int i = 0; i < kids->getLength(); ++i) {
            CPdfElement kid, limits;
            const CPdfArray* bounds = KidLimits(*kids, i, kid, limits);
            if (bounds == nullptr) continue;
            CPdfElement lower, upper;
            bounds->get(0, lower);
            bounds->get(1, upper);
            // Such a kid never holds a name.
            if (!lower.isString() || !upper.isString() || lower.getText() > upper.getText()) {
                continue;
            }
            index.ordered &= index.kids.empty() || index.kids.back().upper < lower.getText();
            index.kids.push_back({i, lower.getText(), upper.getText()});
        }
        index.indexed = true;
    } catch (const CPdfException&) {
        return {};
    }
    return index;
}

void CPdfCatalog::searchIndexedLeaf(const NameNodeIndex& index, const std::string& name,
                                    CPdfElement& target) const {
    const CPdfArray& pairs = *index.entries.getArray();
    auto at = index.keys.begin();
    if (index.ordered) {
        at = std::lower_bound(
            index.keys.begin(), index.keys.end(), name,
            [](const auto& key, const std::string& value) { return key.first < value; });
    } else {
        // The scan stops at the first key that is not smaller.
        while (at != index.keys.end() && at->first < name) ++at;
    }
    if (at != index.keys.end() && at->first == name) pairs.get(at->second + 1, target);
}

void CPdfCatalog::searchIndexedKids(const NameNodeIndex& index, const std::string& name,
                                    CPdfElement& target, RefSet& visited, int depth) const {
    const CPdfArray& array = *index.entries.getArray();
    auto first = index.kids.begin();
    auto last = index.kids.end();
    if (index.ordered) {
        // Ranges in order that do not overlap: only the last kid that starts at
        // or before the name can hold it.
        last = std::upper_bound(index.kids.begin(), index.kids.end(), name,
                                [](const std::string& value, const NameNodeIndex::Kid& kid) {
                                    return value < kid.lower;
                                });
        first = last == index.kids.begin() ? last : last - 1;
    }
    for (auto kidEntry = first; kidEntry != last; ++kidEntry) {
        if (name < kidEntry->lower || name > kidEntry->upper) continue;
        CPdfElement kid, unresolved;
        ResolveKid(array, kidEntry->index, kid);
        array.getNF(kidEntry->index, unresolved);
        if (SeenBefore(unresolved, visited)) continue;
        searchNameTree(kid, name, target, visited, depth + 1);
        if (!target.isNull()) return;
    }
    target.initNull();
}
