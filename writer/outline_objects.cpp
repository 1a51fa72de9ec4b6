#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>

#include "base/error.h"
#include "base/text_format.h"
#include "bookmarks/text_codec.h"
#include "pdf/lexer.h"
#include "pdf/text_string.h"
#include "writer/pdf_writer.h"

namespace {

// A coordinate as "%f" prints it; one the bookmark file left out is null
// ("keep the current position"), and other non-numbers 0.
std::string Coordinate(float value, bool mayBeNull = true) {
    if (std::isnan(value) && mayBeNull) return "null";
    return SixDecimals(std::isfinite(value) ? static_cast<double>(value) : 0.0);
}

// The destination array of a go-to; page is the page object number (same
// document, with its generation) or the page index (another document).
std::string DestinationArray(const ActionRecord& action, const std::string& page) {
    const std::string& kind = action.destination;
    const char* p = page.c_str();
    if (kind == "XYZ") {
        const std::string zoom =
            std::isnan(action.zoom)
                ? "null"
                : SixDecimals(std::isfinite(action.zoom) ? action.zoom / 100.0 : 0.0);
        return Format("[ %s /XYZ %s %s %s ]", p, Coordinate(action.left).c_str(),
                      Coordinate(action.top).c_str(), zoom.c_str());
    }
    if (kind == "FitH") return Format("[ %s /FitH %s]", p, Coordinate(action.top).c_str());
    if (kind == "FitV") return Format("[ %s /FitV %s]", p, Coordinate(action.left).c_str());
    if (kind == "FitR") {
        return Format("[ %s /FitR %s %s %s %s]", p, Coordinate(action.left, false).c_str(),
                      Coordinate(action.bottom, false).c_str(),
                      Coordinate(action.right, false).c_str(),
                      Coordinate(action.top, false).c_str());
    }
    if (kind == "FitB") return Format("[ %s /FitB]", p);
    if (kind == "FitBH") return Format("[ %s /FitBH %s]", p, Coordinate(action.top).c_str());
    // FitBV needs its left edge, as every reader (this one included) expects.
    if (kind == "FitBV") return Format("[ %s /FitBV %s]", p, Coordinate(action.left).c_str());
    // "Fit", and any kind an edited XML file may name: the whole page.
    return Format("[ %s /Fit]", p);
}

// A literal string of text characters, in PDFDocEncoding or UTF-16.
std::string TextString(const std::string& characters) {
    return pdf::LiteralStringToken(pdftext::Encode(characters));
}

// A destination's name in the form the record gives it.
std::string DestinationName(const ActionRecord& action) {
    if (action.namedDestinationIsName) return pdf::NameToken(action.namedDestination);
    return pdf::LiteralStringToken(action.namedDestination);
}

}  // namespace

// One colour component as the reader takes it back: it truncates value x 255,
// so where the nearest six-decimal value falls just below the byte, the one
// just above it is written instead.
std::string ColorComponent(uint32_t byte) {
    const std::string nearest = SixDecimals(static_cast<float>(byte / 255.0));
    if (static_cast<uint32_t>(std::trunc(std::strtod(nearest.c_str(), nullptr) * 255.0)) == byte) {
        return nearest;
    }
    const uint32_t millionths = (byte * 1000000 + 254) / 255;
    return Format("%u.%06u", millionths / 1000000, millionths % 1000000);
}

std::string FormatColor(uint32_t color) {
    return "/C[ " + ColorComponent((color >> 16) & 0xFF) + " " +
           ColorComponent((color >> 8) & 0xFF) + " " + ColorComponent(color & 0xFF) + " ]\n";
}

bool PdfWriter::goesByName(const ActionRecord& action) const {
    if (action.type != ActionType::GoTo || action.namedDestination.empty()) return false;
    try {
        return catalog_.findDest(action.namedDestination) != nullptr;
    } catch (const Error&) {
        return false;  // a name that holds no destination is no better than none
    }
}

// A file name PDFDocEncoding cannot hold goes into UF as text too (PDF 1.7);
// F then carries its UTF-8 bytes.
std::string PdfWriter::fileSpecification(const std::string& fileName) {
    if (pdftext::FitsPdfDoc(fileName)) {
        return "/F <</F" + TextString(fileName) + "/Type/Filespec>>";
    }
    requireVersion(17);
    return "/F <</F" + pdf::LiteralStringToken(fileName) + "/UF" + TextString(fileName) +
           "/Type/Filespec>>";
}

std::string PdfWriter::actionBody(const ActionRecord& action) {
    switch (action.type) {
        case ActionType::GoTo: {
            // The name, where the document has it, keeps the go-to where the
            // document's own tables send it.
            if (goesByName(action)) return "/D" + DestinationName(action) + " /S/GoTo\n";
            if (action.page < 1 || static_cast<uint32_t>(action.page) > pages_.count()) {
                throw Error(
                    "Error in .xml file: Page number more than number of pages in .pdf file\n");
            }
            uint32_t pageObject = pages_.objectOf(static_cast<uint32_t>(action.page));
            std::string page = Format("%u %u R", pageObject, input_.generationOf(pageObject));
            return "/D" + DestinationArray(action, page) + " /S/GoTo\n";
        }
        case ActionType::GoToR: {
            std::string page = Format("%lld", static_cast<long long>(action.page) - 1);
            const std::string destination = action.namedDestination.empty()
                                                ? DestinationArray(action, page)
                                                : DestinationName(action);
            requireVersion(action.newWindow ? 12 : 11);
            return fileSpecification(action.fileName) + "/D" + destination +
                   (action.newWindow ? " /NewWindow true" : "") + " /S/GoToR\n";
        }
        case ActionType::Launch:
            requireVersion(12);  // NewWindow
            return fileSpecification(action.fileName) + " /S/Launch/NewWindow " +
                   (action.newWindow ? "true\n" : "false\n");
        case ActionType::Uri:
            requireVersion(11);
            return "/URI" + pdf::LiteralStringToken(action.uri) + "/S/URI\n";
        case ActionType::Named:
            requireVersion(12);
            return "/N" + pdf::NameToken(action.actionName) + " /S/Named\n";
        case ActionType::JavaScript:
            requireVersion(13);
            return "/JS" + TextString(action.script) + " /S/JavaScript\n";
    }
    return std::string();
}

std::string PdfWriter::writeActions(uint32_t item, const BookmarkRecord& record) {
    // A go-to without a page is how the export marks a destination it could
    // not resolve: the item is written without that action.
    std::vector<const ActionRecord*> actions;
    for (const ActionRecord& action : record.actions) {
        if (action.type == ActionType::GoTo && action.page == 0 && !goesByName(action)) continue;
        actions.push_back(&action);
    }
    if (actions.size() < record.actions.size()) itemsWithoutGoTo_.push_back(record.item);
    std::string entry;
    const size_t count = actions.size();
    for (size_t k = 0; k < count; ++k) {
        const auto number = static_cast<uint32_t>(objects_.size());
        const std::string body = actionBody(*actions[k]);
        if (k == 0) {
            entry += " /A <<" + sealed(item, body);
            entry += count < 2 ? std::string(">>") : Format(" /Next %u 0 R>>", number);
            continue;
        }
        // Every further action is an object of its own, written before the item.
        std::string text = Format("%u 0 obj <<\n", number) + sealed(number, body);
        if (k + 1 < count) text += Format(" /Next %u 0 R", number + 1);
        text += "\n>>endobj\n";
        writeObject(newObject(), text);
    }
    return entry;
}

namespace {

// The keys of an item that say where it stands in the outline: always written anew.
bool IsLinkKey(const std::string& key) {
    return key == "Parent" || key == "Prev" || key == "Next" || key == "First" || key == "Last" ||
           key == "Count";
}

}  // namespace

std::string PdfWriter::newPart(uint32_t number, const BookmarkRecord& record, Part part) {
    switch (part) {
        case Part::Title:
            return sealed(number, "/Title" + TextString(record.title)) + "\n";
        case Part::Style: {
            requireVersion(14);  // F and C came with PDF 1.4
            int flags = 0;
            if (record.style.find("Bold") != std::string::npos) flags += 2;
            if (record.style.find("Italic") != std::string::npos) flags += 1;
            return Format("/F %d\n", flags);
        }
        case Part::Color:
            if (record.color == 0) return std::string();
            requireVersion(14);
            return FormatColor(record.color);
        case Part::Actions:
            return writeActions(number, record);
    }
    return std::string();
}

std::string PdfWriter::itemEntries(uint32_t number, const BookmarkRecord& record) {
    constexpr Part kParts[] = {Part::Title, Part::Style, Part::Color, Part::Actions};
    const auto source = static_cast<uint32_t>(record.source);
    const std::optional<std::string> item =
        record.source != 0 ? input_.text(source) : std::optional<std::string>();
    const std::optional<pdf::DictionaryText> dict =
        item ? pdf::DictionaryText::Find(*item) : std::optional<pdf::DictionaryText>();
    if (!dict) {
        std::string text;
        for (Part part : kParts) text += newPart(number, record, part);
        return text;
    }
    // The item's entries as they stand, but for the parts the bookmark file
    // changes, written anew where they stood; the first of a key that stands
    // twice is the one readers take.
    auto partOf = [](const std::string& key) -> std::optional<Part> {
        if (key == "Title") return Part::Title;
        if (key == "F") return Part::Style;
        if (key == "C") return Part::Color;
        if (key == "A" || key == "Dest" || key == "SE") return Part::Actions;
        return std::nullopt;
    };
    const BookmarkRecord::Kept& kept = record.kept;
    auto keeps = [&kept](Part part) {
        return part == Part::Title   ? kept.title
               : part == Part::Style ? kept.style
               : part == Part::Color ? kept.color
                                     : kept.actions;
    };
    std::string text;
    std::set<std::string> seen;
    std::set<Part> written;
    for (const pdf::DictionaryText::Entry& entry : dict->entries()) {
        const std::string& key = entry.key;
        if (IsLinkKey(key) || !seen.insert(key).second) continue;
        const std::optional<Part> part = partOf(key);
        if (part && !keeps(*part)) {
            if (written.insert(*part).second) text += newPart(number, record, *part);
            continue;
        }
        if (key == "F" || key == "C") requireVersion(14);
        // An entry taken over may refer to an old outline object: that one stays.
        const std::string_view taken(item->data() + entry.keyBegin,
                                     entry.valueEnd - entry.keyBegin);
        noteReferences(taken);
        text += rekeyed(std::string(taken), source, number) + "\n";
    }
    for (Part part : kParts) {
        if (!keeps(part) && written.count(part) == 0) text += newPart(number, record, part);
    }
    return text;
}

PdfWriter::ItemList PdfWriter::writeOutlineItems(const std::vector<BookmarkRecord>& records,
                                                 uint32_t parent) {
    ItemList list;
    uint32_t previous = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        const BookmarkRecord& record = records[i];
        const uint32_t own = newObject();
        ItemLinks links;
        if (!record.children.empty()) {
            const ItemList kids = writeOutlineItems(record.children, own);
            links.first = own + 1;
            links.last = kids.last;
            links.descendants = kids.visible;
        }
        links.parent = parent;
        links.prev = previous;
        links.next = i + 1 < records.size() ? 1 : 0;
        writeOutlineItem(own, links, record);
        previous = own;
        list.last = own;
        list.visible += 1 + (record.open ? links.descendants : 0);
    }
    return list;
}

void PdfWriter::writeOutlineItem(uint32_t number, const ItemLinks& links,
                                 const BookmarkRecord& record) {
    std::string text = Format("%u 0 obj<<\n", number);
    if (links.parent != 0) text += Format("/Parent %u 0 R\n", links.parent);
    if (links.first != 0) text += Format("/First %u 0 R\n", links.first);
    if (links.last != 0) text += Format("/Last %u 0 R\n", links.last);
    if (links.prev != 0) text += Format("/Prev %u 0 R\n", links.prev);
    text += itemEntries(number, record);
    // An item with descendants counts those it shows, or would show when
    // opened as a negative number.
    if (links.descendants > 0) {
        text += Format("/Count %s%u\n", record.open ? "" : "-", links.descendants);
    }
    // The next sibling takes the first number after this item's descendants
    // and extra action objects.
    if (links.next != 0) text += Format("/Next %u 0 R\n", static_cast<uint32_t>(objects_.size()));
    text += ">>endobj\n";
    writeObject(number, text);
}
