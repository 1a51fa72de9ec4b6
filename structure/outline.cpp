#include "structure/outline.h"

#include <cmath>

namespace {

// PDFDocEncoding where it differs from Latin-1; 0 marks bytes it leaves undefined.
uint32_t SpecialCode(unsigned char byte) {
    static const uint16_t kFrom18[8] = {0x02D8, 0x02C7, 0x02C6, 0x02D9,
                                        0x02DD, 0x02DB, 0x02DA, 0x02DC};
    static const uint16_t kFrom80[32] = {
        0x2022, 0x2020, 0x2021, 0x2026, 0x2014, 0x2013, 0x0192, 0x2044, 0x2039, 0x203A, 0x2212,
        0x2030, 0x201E, 0x201C, 0x201D, 0x2018, 0x2019, 0x201A, 0x2122, 0xFB01, 0xFB02, 0x0141,
        0x0152, 0x0160, 0x0178, 0x017D, 0x0131, 0x0142, 0x0153, 0x0161, 0x017E, 0x0000};
    if (byte < 0x18) return 0;
    if (byte < 0x20) return kFrom18[byte - 0x18];
    if (byte == 0x7F || byte == 0xAD) return 0;
    if (byte >= 0x80 && byte < 0xA0) return kFrom80[byte - 0x80];
    if (byte == 0xA0) return 0x20AC;
    return byte;
}

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

// A PDF 2.0 UTF-8 text string as the UTF-16BE text string (FE FF first) the
// rest of the tool reads; a malformed sequence gives U+FFFD.
std::string Utf8ToUtf16Be(const std::string& utf8) {
    std::string out = "\xFE\xFF";
    auto append = [&out](uint32_t unit) {
        out += static_cast<char>(unit >> 8);
        out += static_cast<char>(unit & 0xFF);
    };
    for (size_t at = 0; at < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[at]);
        const size_t length = lead < 0x80    ? 1
                              : lead >= 0xF0 ? 4
                              : lead >= 0xE0 ? 3
                              : lead >= 0xC0 ? 2
                                             : 0;
        uint32_t code = length == 1   ? lead
                        : length == 2 ? lead & 0x1F
                        : length == 3 ? lead & 0x0F
                                      : lead & 0x07;
        bool valid = length > 0 && at + length <= utf8.size();
        for (size_t i = 1; valid && i < length; ++i) {
            const auto next = static_cast<unsigned char>(utf8[at + i]);
            valid = (next & 0xC0) == 0x80;
            code = code << 6 | (next & 0x3F);
        }
        valid = valid && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        at += valid ? length : 1;
        if (!valid) code = 0xFFFD;
        if (code >= 0x10000) {
            append(0xD800 + ((code - 0x10000) >> 10));
            append(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            append(code);
        }
    }
    return out;
}

}  // namespace

uint32_t PdfDocEncodingToUnicode(unsigned char byte) {
    return SpecialCode(byte);
}

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
    if (!value.isString()) return;
    title = value.getText();
    if (title.compare(0, 3, "\xEF\xBB\xBF") == 0) title = Utf8ToUtf16Be(title.substr(3));
    const auto* bytes = reinterpret_cast<const unsigned char*>(title.data());
    if (title.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
        titleLength = static_cast<int32_t>((title.size() - 2) / 2);
        titleCodes.reserve(static_cast<size_t>(titleLength));
        for (int32_t i = 0; i < titleLength; ++i) {
            titleCodes.push_back(uint32_t{bytes[2 + 2 * i]} * 256 + bytes[3 + 2 * i]);
        }
        return;
    }
    titleLength = static_cast<int32_t>(title.size());
    titleCodes.reserve(title.size());
    for (unsigned char byte : title) titleCodes.push_back(SpecialCode(byte));
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
