#include "structure/outline.h"

#include <algorithm>
#include <cmath>

#include "base/error.h"
#include "base/text_format.h"

using pdf::Object;

namespace {

// A colour component scaled to 0..255, clamped to the range as viewers do:
// /C [255 0 0] is red, not black.
uint32_t ColorByte(const Object& component) {
    if (!component.isNumber()) return 0;
    const double value =
        component.isInteger() ? static_cast<double>(component.integer64()) : component.real();
    if (!(value > 0)) return 0;  // NaN too
    if (value >= 1) return 255;
    return static_cast<uint32_t>(std::trunc(value * 255.0));
}

int64_t TruncateToInteger(double value) {
    if (!std::isfinite(value)) return 0;
    if (value >= 9.2e18 || value <= -9.2e18) return 0;
    return static_cast<int64_t>(value);
}

}  // namespace

const std::vector<std::string>& OutlineItem::Keys() {
    static const std::vector<std::string> kKeys = {"Title", "Dest", "A", "First", "Last",
                                                   "Next",  "C",    "F", "Count"};
    return kKeys;
}

OutlineItem::OutlineItem(const pdf::Dictionary& dict, pdf::XRef& xref, OutlineBudget* budget,
                         const OutlineItem* parentItem, OutlineItemRef itemRef, Warnings* warnings)
    : parent(parentItem), ref(itemRef), xref_(xref), budget_(budget), warnings_(warnings) {
    // What the reading of the item's entries finds missing is the item's loss.
    const uint64_t missingBefore = xref_.missingCount();
    readEntries(dict);
    const std::vector<pdf::Reference>& met = xref_.missing();
    for (uint64_t at = missingBefore; at < std::min<uint64_t>(xref_.missingCount(), met.size());
         ++at) {
        missing.push_back(met[static_cast<size_t>(at)]);
    }
}

void OutlineItem::readEntries(const pdf::Dictionary& dict) {
    const Object value = xref_.resolve(dict.get("Title"));
    if (value.isString()) title = value.text();
    readActions(dict);
    first = dict.get("First");
    last = dict.get("Last");
    next = dict.get("Next");
    readColor(dict);
    readStyle(dict);
    const Object count = xref_.resolve(dict.get("Count"));
    open = count.isNumber() && count.number() > 0;
}

void OutlineItem::readActions(const pdf::Dictionary& dict) {
    const Object dest = xref_.resolve(dict.get("Dest"));
    if (!dest.isNull()) {
        actions.push_back(MakeGoTo(dest, xref_));
        return;
    }
    std::set<std::pair<int32_t, int32_t>> seenActions;
    const Object& unresolved = dict.get("A");
    if (unresolved.isReference()) {
        seenActions.insert({unresolved.reference().number, unresolved.reference().generation});
    }
    readActionChain(xref_.resolve(unresolved), seenActions, 0);
}

// An action, then what its Next names: one action dictionary or an array of
// them, each followed by its own Next. References met before end the chain.
void OutlineItem::readActionChain(const Object& action,
                                  std::set<std::pair<int32_t, int32_t>>& seenActions, int depth) {
    constexpr int kMaxChainDepth = 64;
    Object current = action;
    while (!current.isNull() && static_cast<int>(actions.size()) < kMaxActions) {
        if (const pdf::Array* array = current.array()) {
            if (depth >= kMaxChainDepth) return;
            for (const Object& unresolved : array->items()) {
                if (unresolved.isReference() &&
                    !seenActions
                         .insert({unresolved.reference().number, unresolved.reference().generation})
                         .second) {
                    continue;
                }
                readActionChain(xref_.resolve(unresolved), seenActions, depth + 1);
            }
            return;
        }
        actions.push_back(MakeAction(current, xref_));
        const pdf::Dictionary* dict = current.dictionary();
        if (dict == nullptr) return;
        const Object& unresolved = dict->get("Next");
        if (unresolved.isReference() &&
            !seenActions.insert({unresolved.reference().number, unresolved.reference().generation})
                 .second) {
            return;
        }
        current = xref_.resolve(unresolved);
    }
}

void OutlineItem::readColor(const pdf::Dictionary& dict) {
    const Object value = xref_.resolve(dict.get("C"));
    const pdf::Array* array = value.array();
    if (array == nullptr || array->size() != 3) return;
    uint32_t rgb = 0;
    for (size_t i = 0; i < 3; ++i) rgb = rgb * 256 + ColorByte(xref_.resolve(array->at(i)));
    color = rgb;
}

void OutlineItem::readStyle(const pdf::Dictionary& dict) {
    const Object flags = xref_.resolve(dict.get("F"));
    if (flags.isNumber()) {
        const int64_t bits = flags.isInteger() ? flags.integer() : TruncateToInteger(flags.real());
        if (bits & 2) style = "Bold";
        if (bits & 1) style += "Italic";
    }
    if (style.empty()) style = "Plain";
}

bool ItemKeySet::insert(uint64_t key) {
    if (key == kFree) {
        if (holdsFreeKey_) return false;
        holdsFreeKey_ = true;
        ++size_;
        return true;
    }
    // At most half full, so that a probe ends soon.
    if (2 * (size_ + 1) > slots_.size()) grow();
    const size_t mask = slots_.size() - 1;
    for (size_t at = static_cast<size_t>((key * 0x9E3779B97F4A7C15u) >> 32) & mask;;
         at = (at + 1) & mask) {
        if (slots_[at] == key) return false;
        if (slots_[at] == kFree) {
            slots_[at] = key;
            ++size_;
            return true;
        }
    }
}

void ItemKeySet::grow() {
    std::vector<uint64_t> old(std::max<size_t>(16, 2 * slots_.size()), kFree);
    old.swap(slots_);
    const bool heldFreeKey = holdsFreeKey_;
    holdsFreeKey_ = false;
    size_ = 0;
    for (uint64_t key : old) {
        if (key != kFree) insert(key);
    }
    if (heldFreeKey) insert(kFree);
}

void OutlineItem::openKids() {
    if (!kids) kids = ReadItems(first, xref_, budget_, this, warnings_);
}

bool OutlineItem::isOnPath(const OutlineItemRef& itemRef) const {
    for (const OutlineItem* item = this; item != nullptr; item = item->parent) {
        if (item->ref == itemRef) return true;
    }
    return false;
}

std::unique_ptr<OutlineItemList> ReadItems(const Object& first, pdf::XRef& xref,
                                           OutlineBudget* budget, const OutlineItem* parent,
                                           Warnings* warnings) {
    auto list = std::make_unique<OutlineItemList>();
    if (!first.isReference()) return list;
    ItemKeySet siblings;
    pdf::Reference current = first.reference();
    for (;;) {
        const OutlineItemRef ref{current.number, current.generation};
        if (!siblings.insert(OutlineBudget::Key(ref))) break;
        if (parent != nullptr && parent->isOnPath(ref)) break;
        if (budget != nullptr && !budget->allowRead(ref)) break;
        Object item;
        std::string problem;
        try {
            item = xref.fetchKeys(current, OutlineItem::Keys());
            if (item.isNull() && !xref.holds(current)) problem = "is missing";
        } catch (const Error& error) {
            problem = "cannot be read (" + error.message() + ")";
        }
        const pdf::Dictionary* dict = item.dictionary();
        if (dict == nullptr) {
            if (problem.empty()) problem = "is no dictionary";
            if (warnings != nullptr) {
                while (!problem.empty() && problem.back() == '\n') problem.pop_back();
                problem.erase(std::remove(problem.begin(), problem.end(), '\n'), problem.end());
                warnings->add(
                    Format("Warning: the outline item object %d %d R %s; the items from "
                           "there on in its list are left out",
                           current.number, current.generation, problem.c_str()));
            }
            break;
        }
        list->push_back(std::make_unique<OutlineItem>(*dict, xref, budget, parent, ref, warnings));
        const Object& nextRef = list->back()->next;
        if (!nextRef.isReference()) break;
        current = nextRef.reference();
    }
    return list;
}

Outline::Outline(const Object& outlines, pdf::XRef& xref, Warnings* warnings) {
    const pdf::Dictionary* dict = outlines.dictionary();
    if (dict == nullptr) return;
    items = ReadItems(dict->get("First"), xref, &budget_, nullptr, warnings);
}

std::vector<uint32_t> OutlineObjectNumbers(pdf::XRef& xref) {
    static const std::vector<std::string> kLinks = {"First", "Next"};
    const size_t tableSize = xref.entries().size();
    std::vector<bool> seen(tableSize);
    std::vector<uint32_t> numbers;
    std::vector<pdf::Reference> waiting;
    auto meet = [&](const pdf::Object& link) {
        if (!link.isReference()) return;
        const pdf::Reference ref = link.reference();
        if (ref.number <= 0 || static_cast<size_t>(ref.number) >= tableSize) return;
        if (seen[static_cast<size_t>(ref.number)]) return;
        seen[static_cast<size_t>(ref.number)] = true;
        waiting.push_back(ref);
    };
    try {
        if (std::optional<pdf::Object> outlines = xref.fetchValue(xref.root(), "Outlines")) {
            meet(*outlines);
        }
    } catch (const Error&) {
        return numbers;
    }
    while (!waiting.empty()) {
        const pdf::Reference ref = waiting.back();
        waiting.pop_back();
        numbers.push_back(static_cast<uint32_t>(ref.number));
        pdf::Object item;
        try {
            item = xref.fetchKeys(ref, kLinks);
        } catch (const Error&) {
            continue;  // an item that cannot be read links to nothing
        }
        const pdf::Dictionary* dict = item.dictionary();
        if (dict == nullptr) continue;
        meet(dict->get("First"));
        meet(dict->get("Next"));
    }
    return numbers;
}
