#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/exception.h"
#include "base/text_format.h"
#include "bookmarks/text_codec.h"
#include "writer/pdf_writer.h"

namespace {

// A coordinate as "%f" prints it; non-numbers would make the array unreadable.
double Coordinate(float value) {
    return std::isfinite(value) ? value : 0.0;
}

// The destination array of a go-to; page is the page object number (same
// document, with its generation) or the page index (another document).
std::string DestinationArray(const ActionRecord& action, const std::string& page) {
    const std::string& kind = action.destination;
    const double left = Coordinate(action.left);
    const double top = Coordinate(action.top);
    const double bottom = Coordinate(action.bottom);
    const double right = Coordinate(action.right);
    if (kind == "XYZ") {
        return Format("[ %s /XYZ %f %f %f ]", page.c_str(), left, top,
                      Coordinate(action.zoom) / 100);
    }
    if (kind == "FitH") return Format("[ %s /FitH %f]", page.c_str(), top);
    if (kind == "FitV") return Format("[ %s /FitV %f]", page.c_str(), left);
    if (kind == "FitR") {
        return Format("[ %s /FitR %f %f %f %f]", page.c_str(), left, bottom, right, top);
    }
    if (kind == "FitB") return Format("[ %s /FitB]", page.c_str());
    if (kind == "FitBH") return Format("[ %s /FitBH %f]", page.c_str(), top);
    // FitBV needs its left edge, as every reader (this one included) expects.
    if (kind == "FitBV") return Format("[ %s /FitBV %f]", page.c_str(), left);
    // "Fit", and any kind an edited XML file may name: the whole page.
    return Format("[ %s /Fit]", page.c_str());
}

std::string FileSpecification(const std::string& fileName) {
    return "/F <</F(" + EscapeLiteralString(fileName) + ")/Type/Filespec>>";
}

}  // namespace

// One colour component as the reader takes it back: it truncates value x 255,
// so where the nearest six-decimal value falls just below the byte, the one
// just above it is written instead.
std::string ColorComponent(uint32_t byte) {
    const std::string nearest = Format("%f", static_cast<float>(byte / 255.0));
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

std::string PdfWriter::actionBody(const ActionRecord& action) const {
    switch (action.type) {
        case actionRecordGoTo: {
            if (action.page < 1 || static_cast<uint32_t>(action.page) > pages_.count()) {
                throw CPdfException(
                    "Error in .xml file: Page number more than number of pages in .pdf file\n");
            }
            uint32_t pageObject = pages_.objectOf(static_cast<uint32_t>(action.page));
            std::string page = Format("%u %u R", pageObject, input_.generationOf(pageObject));
            return "/D" + DestinationArray(action, page) + " /S/GoTo\n";
        }
        case actionRecordGoToR: {
            std::string page = Format("%lld", static_cast<long long>(action.page) - 1);
            return FileSpecification(action.fileName) + "/D" + DestinationArray(action, page) +
                   (action.newWindow ? " /NewWindow true" : "") + " /S/GoToR\n";
        }
        case actionRecordLaunch:
            return FileSpecification(action.fileName) + " /S/Launch/NewWindow " +
                   (action.newWindow ? "true\n" : "false\n");
        case actionRecordURI:
            return "/URI(" + EscapeLiteralString(action.uri) + ")/S/URI\n";
        case actionRecordNamed:
            return "/N/" + EscapePdfName(action.actionName) + " /S/Named\n";
        default:
            return std::string();
    }
}

std::string PdfWriter::writeActions(const BookmarkRecord& record) {
    std::string entry;
    const size_t count = record.actions.size();
    for (size_t k = 0; k < count; ++k) {
        const auto number = static_cast<uint32_t>(objects_.size());
        const std::string body = actionBody(record.actions[k]);
        if (k == 0) {
            entry += " /A <<" + body;
            entry += count < 2 ? std::string(">>") : Format(" /Next %u 0 R>>", number);
            continue;
        }
        // Every further action is an object of its own, written before the item.
        std::string text = Format("%u 0 obj <<\n", number) + body;
        if (k + 1 < count) text += Format(" /Next %u 0 R", number + 1);
        text += "\n>>endobj\n";
        writeObject(newObject(), text);
    }
    return entry;
}

uint32_t PdfWriter::writeOutlineItems(const std::vector<BookmarkRecord>& records, uint32_t parent) {
    uint32_t previous = 0;
    uint32_t own = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        const BookmarkRecord& record = records[i];
        own = newObject();
        ItemLinks links;
        if (!record.children.empty()) {
            links.first = own + 1;
            links.last = writeOutlineItems(record.children, own);
        }
        links.parent = parent;
        links.prev = previous;
        links.next = i + 1 < records.size() ? 1 : 0;
        writeOutlineItem(own, links, record);
        previous = own;
    }
    return own;
}

void PdfWriter::writeOutlineItem(uint32_t number, const ItemLinks& links,
                                 const BookmarkRecord& record) {
    std::string text = Format("%u 0 obj<<\n", number);
    if (links.parent != 0) text += Format("/Parent %u 0 R\n", links.parent);
    if (links.first != 0) text += Format("/First %u 0 R\n", links.first);
    if (links.last != 0) text += Format("/Last %u 0 R\n", links.last);
    if (links.prev != 0) text += Format("/Prev %u 0 R\n", links.prev);
    text += "/Title(" + record.name + ")\n";
    int flags = 0;
    if (record.style.find("Bold") != std::string::npos) flags += 2;
    if (record.style.find("Italic") != std::string::npos) flags += 1;
    text += Format("/F %d\n", flags);
    if (record.color != 0) text += FormatColor(record.color);
    text += writeActions(record);
    // The next sibling takes the first number after this item's descendants
    // and extra action objects.
    if (links.next != 0) text += Format("/Next %u 0 R\n", static_cast<uint32_t>(objects_.size()));
    text += ">>endobj\n";
    writeObject(number, text);
}
