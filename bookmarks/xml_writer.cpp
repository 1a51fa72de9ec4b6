#include <cmath>
#include <limits>

#include "base/text_format.h"
#include "bookmarks/bookmark_xml.h"

namespace {

void WriteXmlElement(std::string& file, int depth, const char* tag, const std::string& value) {
    file.append(static_cast<size_t>(depth), '\t');
    file += '<';
    file += tag;
    file += '>';
    file += value;
    file += "</";
    file += tag;
    file += ">\r\n";
}

void WriteXmlIntElement(std::string& file, int depth, const char* tag, int value) {
    WriteXmlElement(file, depth, tag, Format("%d", value));
}

// A float field of a record truncated to a 32-bit integer, saturating: the
// file carries whole points.
int TruncateToInt(float value) {
    if (value >= 2147483647.0f) return std::numeric_limits<int>::max();
    if (value <= -2147483648.0f) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

// Only a coordinate the PDF leaves null is left out; 0 is a place like any other.
void WriteCoordinate(std::string& file, const char* tag, float value) {
    if (!std::isnan(value)) WriteXmlIntElement(file, 3, tag, TruncateToInt(value));
}

void WriteDestinationElements(std::string& file, const ActionRecord& action) {
    WriteXmlIntElement(file, 3, "Page", action.page);
    WriteCoordinate(file, "Zoom", action.zoom);
    // A destination that could not be found has no kind; an empty element
    // would read as FitH.
    if (!action.destination.empty()) WriteXmlElement(file, 3, "Destination", action.destination);
    WriteCoordinate(file, "Top", action.top);
    WriteCoordinate(file, "Left", action.left);
    WriteCoordinate(file, "Bottom", action.bottom);
    WriteCoordinate(file, "Right", action.right);
}

void WriteNamedDestination(std::string& file, const ActionRecord& action) {
    WriteXmlElement(file, 3, "NamedDestination", BytesToXml(action.namedDestination, true));
    if (action.namedDestinationIsName) WriteXmlElement(file, 3, "NamedDestinationType", "Name");
}

void WriteActionBlock(std::string& file, const ActionRecord& action) {
    file += "\t\t<Action>\r\n";
    WriteXmlElement(file, 3, "Type", ActionTypeName(action.type));
    switch (action.type) {
        case ActionType::GoTo:
            WriteDestinationElements(file, action);
            if (!action.namedDestination.empty()) WriteNamedDestination(file, action);
            break;
        case ActionType::GoToR:
            if (action.namedDestination.empty()) {
                WriteDestinationElements(file, action);
            } else {
                WriteNamedDestination(file, action);
            }
            WriteXmlElement(file, 3, "Filename", TextToXml(action.fileName));
            WriteXmlElement(file, 3, "NewWindow", action.newWindow ? "True" : "False");
            break;
        case ActionType::Launch:
            WriteXmlElement(file, 3, "Filename", TextToXml(action.fileName));
            if (action.newWindow) WriteXmlElement(file, 3, "NewWindow", "True");
            break;
        case ActionType::Uri:
            WriteXmlElement(file, 3, "Uri", UriToXml(action.uri));
            break;
        case ActionType::Named:
            WriteXmlElement(file, 3, "Actionname", BytesToXml(action.actionName, false));
            break;
        case ActionType::JavaScript:
            WriteXmlElement(file, 3, "Script", TextToXml(action.script));
            break;
    }
    file += "\t\t</Action>\r\n";
}

void WriteBookmarkBlock(std::string& file, const BookmarkRecord& record) {
    file += "\t<Bookmark>\r\n";
    WriteXmlIntElement(file, 2, "Item", record.item);
    WriteXmlIntElement(file, 2, "Level", record.level);
    WriteXmlElement(file, 2, "Name", TitleToXml(record.title));
    WriteXmlElement(file, 2, "Color", Format("%06X", record.color));
    WriteXmlElement(file, 2, "Style", record.style);
    if (record.open) WriteXmlElement(file, 2, "Open", "True");
    for (const ActionRecord& action : record.actions) WriteActionBlock(file, action);
    file += "\t</Bookmark>\r\n";
}

void WriteBookmarkTree(std::string& file, const std::vector<BookmarkRecord>& records) {
    for (const BookmarkRecord& record : records) {
        WriteBookmarkBlock(file, record);
        WriteBookmarkTree(file, record.children);
    }
}

}  // namespace

const char* ActionTypeName(ActionType type) {
    switch (type) {
        case ActionType::GoTo:
            return "Go to a page in this document";
        case ActionType::GoToR:
            return "Go to a page in another document";
        case ActionType::Launch:
            return "Open a file";
        case ActionType::Uri:
            return "Open weblink";
        case ActionType::Named:
            return "Execute a menu item";
        case ActionType::JavaScript:
            return "Run a JavaScript";
    }
    return "";
}

std::string BookmarkXml(const std::vector<BookmarkRecord>& records) {
    std::string file = "<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>\r\n<Bookmarks>\r\n";
    WriteBookmarkTree(file, records);
    return file + "</Bookmarks>\r\n";
}

RecordParts PartsOf(const BookmarkRecord& record) {
    RecordParts parts;
    parts.title = TitleToXml(record.title);
    parts.color = Format("%06X", record.color);
    parts.style = record.style;
    for (const ActionRecord& action : record.actions) WriteActionBlock(parts.actions, action);
    return parts;
}
