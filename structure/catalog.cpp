#include "structure/catalog.h"

#include <algorithm>

#include "base/error.h"
#include "base/text_format.h"

using pdf::Object;

namespace {

// Whether a reference has been met before; direct values are never repeated.
bool SeenBefore(const Object& unresolved, std::set<std::pair<int32_t, int32_t>>& visited) {
    if (!unresolved.isReference()) return false;
    return !visited.insert({unresolved.reference().number, unresolved.reference().generation})
                .second;
}

std::string ReferenceText(const Object& value) {
    if (!value.isReference()) return "a direct value";
    return Format("object %d %d R", value.reference().number, value.reference().generation);
}

}  // namespace

Catalog::Catalog(pdf::XRef& xref, Warnings* warnings) : xref_(xref), warnings_(warnings) {
    const Object catalog = xref_.fetch(xref_.root());
    const pdf::Dictionary* dict = catalog.dictionary();
    if (!pdf::IsCatalog(catalog)) {
        throw Error("Catalog CPdfElement is wrong type\n", {xref_.root().number, -1});
    }

    // A document whose page tree cannot be read still has an outline to read;
    // its go-tos find no page.
    const Object pagesRoot = xref_.resolve(dict->get("Pages"));
    if (pagesRoot.isDictionary()) {
        // Nodes are remembered by reference, so that a Kids entry leading back
        // to a node already walked ends the walk instead of running forever.
        RefSet visited;
        SeenBefore(dict->get("Pages"), visited);
        readPageTree(*pagesRoot.dictionary(), visited, 0);
    } else if (warnings_ != nullptr) {
        warnings_->add("Warning: the page tree cannot be read; go-tos find no page");
    }

    dests_ = xref_.resolve(dict->get("Dests"));
    const Object names = xref_.resolve(dict->get("Names"));
    nameTree_ =
        names.isDictionary() ? xref_.resolve(names.dictionary()->get("Dests")) : Object::MakeNull();
    outlines_ = xref_.resolve(dict->get("Outlines"));
}

void Catalog::addUnreadablePage(const Object& kid) {
    pages_.push_back({static_cast<uint32_t>(pages_.size() + 1), {}});
    if (warnings_ != nullptr) {
        warnings_->add(Format("Warning: page %u (%s) cannot be read; it is counted as a page",
                              pages_.back().number, ReferenceText(kid).c_str()));
    }
}

void Catalog::readPageTree(const pdf::Dictionary& node, RefSet& visited, int depth) {
    const Object kids = xref_.resolve(node.get("Kids"));
    const pdf::Array* array = kids.array();
    if (array == nullptr) return;
    // Of a page only its Type is read, and of a node its Type and Kids: a
    // page's other entries (resources, contents, annotations) are passed over.
    static const std::vector<std::string> kKeys = {"Type", "Kids"};
    for (const Object& unresolved : array->items()) {
        Object kid = unresolved;
        bool isPage = false;
        try {
            if (unresolved.isReference()) {
                const std::optional<Object> type = xref_.fetchValue(unresolved.reference(), "Type");
                isPage = type && type->isName("Page");
                if (!isPage) kid = xref_.fetchKeys(unresolved.reference(), kKeys);
            }
        } catch (const Error&) {
            kid = Object();
        }
        const pdf::Dictionary* kidDict = kid.dictionary();
        if (!isPage && kidDict == nullptr) {
            addUnreadablePage(unresolved);
            continue;
        }
        // A node without a Type is a page when it has no Kids.
        const bool hasKids = !isPage && xref_.resolve(kidDict->get("Kids")).isArray();
        if (isPage || kidDict->is("Page") || (!kidDict->has("Type") && !hasKids)) {
            // A page may well be listed twice; it then counts twice.
            Page page;
            page.number = static_cast<uint32_t>(pages_.size() + 1);
            if (unresolved.isReference()) {
                page.ref = {unresolved.reference().number, unresolved.reference().generation};
            }
            pages_.push_back(page);
            continue;
        }
        // A node met before would lead the walk round in a circle, or make a
        // tree that shares nodes grow without end; a tree too deep to be real
        // ends there too.
        if (SeenBefore(unresolved, visited) || depth + 1 >= kMaxTreeDepth) {
            if (warnings_ != nullptr) {
                warnings_->add(
                    Format("Warning: the page tree node %s is met again or lies too "
                           "deep; its pages are not counted",
                           ReferenceText(unresolved).c_str()));
            }
            continue;
        }
        readPageTree(*kidDict, visited, depth + 1);
    }
}

std::unique_ptr<LinkDestination> Catalog::findDest(const std::string& name,
                                                   bool* notADestination) const {
    Object value;
    if (const pdf::Dictionary* dests = dests_.dictionary()) value = xref_.resolve(dests->get(name));
    if (value.isNone() || value.isNull()) {
        if (!nameTree_.isDictionary()) return nullptr;
        value = findInNameTree(nameTree_, name);
        if (value.isNull()) return nullptr;
    }

    // A destination, or a dictionary that holds one in D.
    const Object inner = value.isDictionary() ? xref_.resolve(value.dictionary()->get("D")) : value;
    const pdf::Array* array = inner.array();
    if (array == nullptr) {
        if (notADestination != nullptr) *notADestination = true;
        return nullptr;
    }
    auto dest = std::make_unique<LinkDestination>(*array, xref_);
    if (!dest->isOk()) return nullptr;
    return dest;
}

Object Catalog::findInNameTree(const Object& root, const std::string& name) const {
    RefSet visited;
    Object found = searchNameTree(root, name, visited, 0);
    if (!found.isNull() || &root != &nameTree_) return found;
    const auto& names = allNames();
    const auto at = names.find(name);
    return at != names.end() ? xref_.resolve(at->second) : Object::MakeNull();
}

const std::unordered_map<std::string, Object>& Catalog::allNames() const {
    if (!allNames_) {
        allNames_ = std::make_unique<std::unordered_map<std::string, Object>>();
        RefSet visited;
        gatherNames(nameTree_, visited, 0, *allNames_);
    }
    return *allNames_;
}

void Catalog::gatherNames(const Object& node, RefSet& visited, int depth,
                          std::unordered_map<std::string, Object>& names) const {
    const pdf::Dictionary* dict = node.dictionary();
    if (dict == nullptr || depth >= kMaxTreeDepth) return;
    try {
        if (const pdf::Array* pairs = xref_.resolve(dict->get("Names")).array()) {
            for (size_t i = 0; i + 1 < pairs->size(); i += 2) {
                const Object key = xref_.resolve(pairs->at(i));
                // The first of a name that stands twice is the one a search finds.
                if (key.isString()) names.emplace(key.text(), pairs->at(i + 1));
            }
        }
        const Object kids = xref_.resolve(dict->get("Kids"));
        const pdf::Array* array = kids.array();
        if (array == nullptr) return;
        for (size_t i = 0; i < array->size(); ++i) {
            if (SeenBefore(array->at(i), visited)) continue;
            gatherNames(resolveKid(*array, i), visited, depth + 1, names);
        }
    } catch (const Error&) {
        // A node that cannot be read holds no names.
    }
}

// Each lookup walks the tree from its root: kids read once are kept, so that
// looking up every destination of a document does not read the tree again
// and again.
Object Catalog::resolveKid(const pdf::Array& kids, size_t index) const {
    const Object& unresolved = kids.at(index);
    if (!unresolved.isReference()) return unresolved;
    const auto key =
        std::make_pair(unresolved.reference().number, unresolved.reference().generation);
    const auto cached = resolvedKids_.find(key);
    if (cached != resolvedKids_.end()) return cached->second;
    return resolvedKids_[key] = xref_.resolve(unresolved);
}

Object Catalog::searchNameTree(const Object& node, const std::string& name, RefSet& visited,
                               int depth) const {
    const pdf::Dictionary* dict = node.dictionary();
    if (dict == nullptr || depth >= kMaxTreeDepth) return Object::MakeNull();

    const NameNodeIndex& index = indexOf(*dict);
    if (index.indexed && index.leaf) return searchIndexedLeaf(index, name);
    if (index.indexed) return searchIndexedKids(index, name, visited, depth);

    const Object names = xref_.resolve(dict->get("Names"));
    if (const pdf::Array* pairs = names.array()) {
        for (size_t i = 0; i + 1 < pairs->size(); i += 2) {
            const Object key = xref_.resolve(pairs->at(i));
            if (!key.isString()) continue;
            const int order = name.compare(key.text());
            if (order == 0) return xref_.resolve(pairs->at(i + 1));
            if (order < 0) return Object::MakeNull();
        }
        return Object::MakeNull();
    }

    const Object kids = xref_.resolve(dict->get("Kids"));
    const pdf::Array* array = kids.array();
    if (array == nullptr) return Object::MakeNull();
    for (size_t i = 0; i < array->size(); ++i) {
        Object kid, limits;
        const pdf::Array* bounds = kidLimits(*array, i, kid, limits);
        if (bounds == nullptr) continue;
        const Object lower = xref_.resolve(bounds->at(0));
        if (!lower.isString() || name.compare(lower.text()) < 0) continue;
        const Object upper = xref_.resolve(bounds->at(1));
        if (!upper.isString() || name.compare(upper.text()) > 0) continue;
        // A kid met before would lead the search around in a circle.
        if (SeenBefore(array->at(i), visited)) continue;
        Object found = searchNameTree(kid, name, visited, depth + 1);
        if (!found.isNull()) return found;
    }
    return Object::MakeNull();
}

const pdf::Array* Catalog::kidLimits(const pdf::Array& kids, size_t index, Object& kid,
                                     Object& limits) const {
    kid = resolveKid(kids, index);
    const pdf::Dictionary* kidDict = kid.dictionary();
    if (kidDict == nullptr) return nullptr;
    limits = xref_.resolve(kidDict->get("Limits"));
    const pdf::Array* bounds = limits.array();
    return bounds != nullptr && bounds->size() >= 2 ? bounds : nullptr;
}

const Catalog::NameNodeIndex& Catalog::indexOf(const pdf::Dictionary& node) const {
    auto found = nameNodes_.find(&node);
    if (found == nameNodes_.end()) found = nameNodes_.emplace(&node, readNameNode(node)).first;
    return found->second;
}

Catalog::NameNodeIndex Catalog::readNameNode(const pdf::Dictionary& node) const {
    NameNodeIndex index;
    try {
        index.entries = xref_.resolve(node.get("Names"));
        if (const pdf::Array* pairs = index.entries.array()) {
            index.leaf = true;
            for (size_t i = 0; i + 1 < pairs->size(); i += 2) {
                const Object& key = pairs->at(i);
                if (key.isReference()) return {};
                if (!key.isString()) continue;
                index.ordered &= index.keys.empty() || index.keys.back().first <= key.text();
                index.keys.emplace_back(key.text(), i);
            }
            index.indexed = true;
            return index;
        }
        index.entries = xref_.resolve(node.get("Kids"));
        const pdf::Array* kids = index.entries.array();
        if (kids == nullptr) return {};
        for (size_t i = 0; i < kids->size(); ++i) {
            Object kid, limits;
            const pdf::Array* bounds = kidLimits(*kids, i, kid, limits);
            if (bounds == nullptr) continue;
            const Object lower = xref_.resolve(bounds->at(0));
            const Object upper = xref_.resolve(bounds->at(1));
            // Such a kid never holds a name.
            if (!lower.isString() || !upper.isString() || lower.text() > upper.text()) continue;
            index.ordered &= index.kids.empty() || index.kids.back().upper < lower.text();
            index.kids.push_back({i, lower.text(), upper.text()});
        }
        index.indexed = true;
    } catch (const Error&) {
        return {};
    }
    return index;
}

Object Catalog::searchIndexedLeaf(const NameNodeIndex& index, const std::string& name) const {
    const pdf::Array& pairs = *index.entries.array();
    auto at = index.keys.begin();
    if (index.ordered) {
        at = std::lower_bound(
            index.keys.begin(), index.keys.end(), name,
            [](const auto& key, const std::string& value) { return key.first < value; });
    } else {
        // The scan stops at the first key that is not smaller.
        while (at != index.keys.end() && at->first < name) ++at;
    }
    if (at != index.keys.end() && at->first == name) return xref_.resolve(pairs.at(at->second + 1));
    return Object::MakeNull();
}

Object Catalog::searchIndexedKids(const NameNodeIndex& index, const std::string& name,
                                  RefSet& visited, int depth) const {
    const pdf::Array& array = *index.entries.array();
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
        const Object kid = resolveKid(array, kidEntry->index);
        if (SeenBefore(array.at(kidEntry->index), visited)) continue;
        Object found = searchNameTree(kid, name, visited, depth + 1);
        if (!found.isNull()) return found;
    }
    return Object::MakeNull();
}
