#include <charconv>
#include <cmath>
#include <functional>
#include <limits>
#include <string_view>
#include <utility>

#include "base/text_format.h"
#include "bookmarks/bookmark_xml.h"

namespace {

void WriteXmlElement(std::string& file, int depth, std::string_view tag, std::string_view value) {
    char line[64];
    // Most elements fit a line of their own on the stack and go in with one append.
    const size_t length = static_cast<size_t>(depth) + 2 * tag.size() + value.size() + 7;
    if (length > sizeof line) {
        file.append(static_cast<size_t>(depth), '\t');
        file.append("<").append(tag).append(">").append(value).append("</").append(tag);
        file.append(">\r\n");
        return;
    }
    char* at = line;
    for (int i = 0; i < depth; ++i) *at++ = '\t';
    *at++ = '<';
    at = std::copy(tag.begin(), tag.end(), at);
    *at++ = '>';
    at = std::copy(value.begin(), value.end(), at);
    *at++ = '<';
    *at++ = '/';
    at = std::copy(tag.begin(), tag.end(), at);
    *at++ = '>';
    *at++ = '\r';
    *at++ = '\n';
    file.append(line, static_cast<size_t>(at - line));
}

void WriteXmlIntElement(std::string& file, int depth, std::string_view tag, int value) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    WriteXmlElement(file, depth, tag, std::string_view(digits, static_cast<size_t>(end - digits)));
}

// RRGGBB.
std::string ColorValue(uint32_t color) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string text(6, '0');
    for (int i = 5; i >= 0; --i, color >>= 4) text[static_cast<size_t>(i)] = kHex[color & 0xF];
    return text;
}

// A float field of a record truncated to a 32-bit integer, saturating: the
// file carries whole points.
int TruncateToInt(float value) {
    if (value >= 2147483647.0f) return std::numeric_limits<int>::max();
    if (value <= -2147483648.0f) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

// Only a coordinate the PDF leaves null is left out; 0 is a place like any other.
void WriteCoordinate(std::string& file, std::string_view tag, float value) {
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
    WriteXmlElement(file, 2, "Color", ColorValue(record.color));
    WriteXmlElement(file, 2, "Style", record.style);
    if (record.open) WriteXmlElement(file, 2, "Open", "True");
    for (const ActionRecord& action : record.actions) WriteActionBlock(file, action);
    file += "\t</Bookmark>\r\n";
}

void AddTree(BookmarkXmlWriter& writer, const std::vector<BookmarkRecord>& records) {
    for (const BookmarkRecord& record : records) {
        writer.add(record);
        AddTree(writer, record.children);
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

// The blocks go to sink a few at a time: an outline of many items is never
// held whole as text.
BookmarkXmlWriter::BookmarkXmlWriter(std::function<void(const std::string&)> sink)
    : sink_(std::move(sink)),
      pending_("<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>\r\n<Bookmarks>\r\n") {}

void BookmarkXmlWriter::add(const BookmarkRecord& record) {
    constexpr size_t kPiece = 64 << 10;
    WriteBookmarkBlock(pending_, record);
    if (pending_.size() >= kPiece) {
        sink_(pending_);
        pending_.clear();
    }
}

void BookmarkXmlWriter::finish() {
    pending_ += "</Bookmarks>\r\n";
    sink_(pending_);
    pending_.clear();
}

std::string BookmarkXml(const std::vector<BookmarkRecord>& records) {
    std::string file;
    BookmarkXmlWriter writer([&file](const std::string& piece) { file += piece; });
    AddTree(writer, records);
    writer.finish();
    return file;
}

RecordParts PartsOf(const BookmarkRecord& record) {
    RecordParts parts;
    parts.title = TitleToXml(record.title);
    parts.color = ColorValue(record.color);
    parts.style = record.style;
    for (const ActionRecord& action : record.actions) WriteActionBlock(parts.actions, action);
    return parts;
}
