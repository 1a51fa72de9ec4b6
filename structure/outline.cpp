#include "structure/outline.h"

#include <cmath>

namespace {

// The low 8 bits of a colour component scaled to 0..255, without overflow.
uint32_t ColorByte(const CPdfElement& component) {
    if (component.isInt()) {
        return static_cast<uint32_t>(int64_t{component.getInt()} * 255) & 0xFF;
    }
    if (component.isReal()) {
        double scaled = std::trunc(component.getReal() * 255.0);
        if (!std::isfinite(scaled)) return 0;
        double low = std::fmod(scaled, 256.0);
        if (low < 0) low += 256.0;
        return static_cast<uint32_t>(low) & 0xFF;
    }
    return 0;
}

int64_t TruncateToInteger(double value) {
    if (!std::isfinite(value)) return 0;
    if (value >= 9.2e18 || value <= -9.2e18) return 0;
    return static_cast<int64_t>(value);
}

}  // namespace

CPdfOutlineItem::CPdfOutlineItem(const CPdfDictionary& dict, CPdfXRef* itemXRef,
                                 OutlineBudget* budget, const CPdfOutlineItem* parentItem,
                                 OutlineItemRef itemRef)
    : xref(itemXRef), parent(parentItem), ref(itemRef), budget_(budget) {
    readTitle(dict);
    readActions(dict);
    dict.lookupNF("First", first);
    dict.lookupNF("Last", last);
    dict.lookupNF("Next", next);
    readColor(dict);
    readStyle(dict);
    CPdfElement count;
    dict.lookup("Count", count);
    open = count.isNum() && count.getNum() > 0;
}

void CPdfOutlineItem::readTitle(const CPdfDictionary& dict) {
    CPdfElement value;
    dict.lookup("Title", value);
    if (value.isString()) title = value.getText();
}

void CPdfOutlineItem::readActions(const CPdfDictionary& dict) {
    CPdfElement dest;
    dict.lookup("Dest", dest);
    if (!dest.isNull()) {
        actions.push_back(makeGoTo(dest));
        return;
    }
    CPdfElement action;
    dict.lookup("A", action);
    std::set<std::pair<int32_t, int32_t>> seenActions;
    CPdfElement unresolved;
    dict.lookupNF("A", unresolved);
    if (unresolved.isRef()) seenActions.insert({unresolved.getRefNum(), unresolved.getRefGen()});
    readActionChain(action, seenActions, 0);
}

// An action, then what its Next names: one action dictionary or an array of
// them, each followed by its own Next. References met before end the chain.
void CPdfOutlineItem::readActionChain(const CPdfElement& action,
                                      std::set<std::pair<int32_t, int32_t>>& seenActions,
                                      int depth) {
    constexpr int kMaxChainDepth = 64;
    CPdfElement current;
    action.copy(current);
    while (!current.isNull() && static_cast<int>(actions.size()) < kMaxActions) {
        if (const CPdfArray* array = current.getArray()) {
            if (depth >= kMaxChainDepth) return;
            for (int i = 0; i < array->getLength(); ++i) {
                CPdfElement unresolved, element;
                array->getNF(i, unresolved);
                if (unresolved.isRef() &&
                    !seenActions.insert({unresolved.getRefNum(), unresolved.getRefGen()}).second) {
                    continue;
                }
                array->get(i, element);
                readActionChain(element, seenActions, depth + 1);
            }
            return;
        }
        actions.push_back(makeAction(current));
        const CPdfDictionary* dict = current.getDict();
        if (dict == nullptr) return;
        CPdfElement unresolved;
        dict->lookupNF("Next", unresolved);
        if (unresolved.isRef() &&
            !seenActions.insert({unresolved.getRefNum(), unresolved.getRefGen()}).second) {
            return;
        }
        CPdfElement nextAction;
        dict->lookup("Next", nextAction);
        current = std::move(nextAction);
    }
}

void CPdfOutlineItem::readColor(const CPdfDictionary& dict) {
    CPdfElement value;
    dict.lookup("C", value);
    const CPdfArray* array = value.getArray();
    if (array == nullptr || array->getLength() != 3) return;
    uint32_t rgb = 0;
    for (int i = 0; i < 3; ++i) {
        CPdfElement component;
        array->get(i, component);
        rgb = rgb * 256 + ColorByte(component);
    }
    color = rgb;
}

void CPdfOutlineItem::readStyle(const CPdfDictionary& dict) {
    CPdfElement flags;
    dict.lookup("F", flags);
    if (flags.isNum()) {
        int64_t bits = flags.isInt() ? flags.getInt() : TruncateToInteger(flags.getReal());
        if (bits & 2) style = "Bold";
        if (bits & 1) style += "Italic";
    }
    if (style.empty()) style = "Plain";
}

void CPdfOutlineItem::openKids() {
    if (!kids) kids = readItems(first, last, xref, budget_, this);
}

bool CPdfOutlineItem::isOnPath(const OutlineItemRef& itemRef) const {
    for (const CPdfOutlineItem* item = this; item != nullptr; item = item->parent) {
        if (item->ref == itemRef) return true;
    }
    return false;
}

std::unique_ptr<OutlineItemList> readItems(const CPdfElement& first, const CPdfElement& last,
                                           CPdfXRef* xref, OutlineBudget* budget,
                                           const CPdfOutlineItem* parent) {
    auto list = std::make_unique<OutlineItemList>();
    if (!first.isRef()) return list;
    std::set<OutlineItemRef> siblings;
    CPdfElement current;
    first.copy(current);
    for (;;) {
        const OutlineItemRef ref{current.getRefNum(), current.getRefGen()};
        if (!siblings.insert(ref).second) break;
        if (parent != nullptr && parent->isOnPath(ref)) break;
        if (budget != nullptr && !budget->allowRead(ref)) break;
        CPdfElement item;
        current.fetch(xref, item);
        const CPdfDictionary* dict = item.getDict();
        if (dict == nullptr) break;
        list->push_back(std::make_unique<CPdfOutlineItem>(*dict, xref, budget, parent, ref));
        if (last.isRef() && last.getRefNum() == current.getRefNum() &&
            last.getRefGen() == current.getRefGen()) {
            break;
        }
        const CPdfElement& nextRef = list->back()->next;
        if (!nextRef.isRef()) break;
        nextRef.copy(current);
    }
    return list;
}

CPdfOutline::CPdfOutline(const CPdfElement& outlines, CPdfXRef* xref) {
    const CPdfDictionary* dict = outlines.getDict();
    if (dict == nullptr) return;
    CPdfElement first, last;
    dict->lookupNF("First", first);
    dict->lookupNF("Last", last);
    items = readItems(first, last, xref, &budget_, nullptr);
}
