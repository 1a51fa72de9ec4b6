#include <cmath>
#include <limits>

#include "base/text_format.h"
#include "bookmarks/bookmark_xml.h"

namespace {

void WriteXmlElement(std::FILE* file, int depth, const char* tag, const std::string& value) {
    std::string line(static_cast<size_t>(depth), '\t');
    line += '<';
    line += tag;
    line += '>';
    line += value;
    line += "</";
    line += tag;
    line += ">\r\n";
    std::fwrite(line.data(), 1, line.size(), file);
}

void WriteXmlIntElement(std::FILE* file, int depth, const char* tag, int value) {
    WriteXmlElement(file, depth, tag, Format("%d", value));
}

bool KeptUnescaped(uint32_t code) {
    return (code >= 0x20 && code <= 0x7E && code != 0x25) || (code >= 0xA1 && code <= 0xAC) ||
           (code >= 0xAE && code <= 0xFF);
}

std::string PercentEscape(unsigned char byte) {
    return Format("%%%02X", byte);
}

// One character of a UTF-16BE title in its Name form.
std::string EncodeTitleCharacter(uint32_t character) {
    int byte = PdfDocEncodingByte(character);
    if (byte >= 0) {
        auto b = static_cast<unsigned char>(byte);
        std::string escaped = KeptUnescaped(PdfDocEncodingToUnicode(b))
                                  ? std::string(1, static_cast<char>(b))
                                  : PercentEscape(b);
        return EscapeTitleEntities(escaped);
    }
    // Control characters cannot stand in XML even as references; their byte's
    // percent escape keeps the file well-formed and reads back as the same character.
    if (character < 0x20) return PercentEscape(static_cast<unsigned char>(character));
    if (character == 0xFFFE || character == 0xFFFF) character = 0xFFFD;
    return Format("&#x%04X;", character);
}

// A float field of a record truncated to a 32-bit integer, saturating.
int TruncateToInt(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0f) return std::numeric_limits<int>::max();
    if (value <= -2147483648.0f) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

void WriteCoordinate(std::FILE* file, const char* tag, float value) {
    if (value != 0 && std::isfinite(value)) WriteXmlIntElement(file, 3, tag, TruncateToInt(value));
}

void WriteDestinationElements(std::FILE* file, const ActionRecord& action) {
    WriteXmlIntElement(file, 3, "Page", action.page);
    WriteCoordinate(file, "Zoom", action.zoom);
    WriteXmlElement(file, 3, "Destination", action.destination);
    WriteCoordinate(file, "Top", action.top);
    WriteCoordinate(file, "Left", action.left);
    WriteCoordinate(file, "Bottom", action.bottom);
    WriteCoordinate(file, "Right", action.right);
}

void WriteActionBlock(std::FILE* file, const ActionRecord& action) {
    std::fputs("\t\t<Action>\r\n", file);
    switch (action.type) {
        case actionRecordGoTo:
            WriteXmlElement(file, 3, "Type", "Go to a page in this document");
            WriteDestinationElements(file, action);
            break;
        case actionRecordGoToR:
            WriteXmlElement(file, 3, "Type", "Go to a page in another document");
            if (action.namedDestination.empty()) {
                WriteDestinationElements(file, action);
            } else {
                WriteXmlElement(file, 3, "NamedDestination",
                                EscapeXmlText(action.namedDestination));
            }
            WriteXmlElement(file, 3, "Filename", EscapeXmlText(action.fileName));
            WriteXmlElement(file, 3, "NewWindow", action.newWindow ? "True" : "False");
            break;
        case actionRecordLaunch:
            WriteXmlElement(file, 3, "Type", "Open a file");
            WriteXmlElement(file, 3, "Filename", EscapeXmlText(action.fileName));
            break;
        case actionRecordURI:
            WriteXmlElement(file, 3, "Type", "Open weblink");
            WriteXmlElement(file, 3, "Uri", EscapeXmlText(action.uri));
            break;
        case actionRecordNamed:
            WriteXmlElement(file, 3, "Type", "Execute a menu item");
            WriteXmlElement(file, 3, "Actionname", EscapeXmlText(action.actionName));
            break;
        default:
            break;
    }
    std::fputs("\t\t</Action>\r\n", file);
}

}  // namespace

std::string EncodeTitle(const CPdfOutlineItem& item) {
    const std::string& title = item.title;
    std::string out;
    out.reserve(title.size());
    for (size_t i = 0; i < title.size(); ++i) {
        auto byte = static_cast<unsigned char>(title[i]);
        uint32_t code = i < item.titleCodes.size() ? item.titleCodes[i] : 0;
        if (KeptUnescaped(code)) {
            out += static_cast<char>(byte);
        } else {
            out += PercentEscape(byte);
        }
    }
    return out;
}

std::string EscapeTitleEntities(const std::string& text) {
    std::string out = ReplaceAll(text, "\r", "");
    out = ReplaceAll(out, "&", "&amp;");
    out = ReplaceAll(out, "<", "&lt;");
    out = ReplaceAll(out, ">", "&gt;");
    out = ReplaceAll(out, "'", "&apos;");
    out = ReplaceAll(out, "\"", "&quot;");
    out = ReplaceAll(out, ")", "&cbr;");
    return ReplaceAll(out, "(", "&obr;");
}

static bool HasByteOrderMark(const std::string& title) {
    return title.size() >= 2 && static_cast<unsigned char>(title[0]) == 0xFE &&
           static_cast<unsigned char>(title[1]) == 0xFF;
}

std::string ExportTitleValue(const CPdfOutlineItem& item) {
    if (!HasByteOrderMark(item.title)) return EscapeTitleEntities(EncodeTitle(item));
    std::string out;
    for (uint32_t character : DecodeUtf16Be(item.title.substr(2))) {
        out += EncodeTitleCharacter(character);
    }
    return out;
}

std::string UpdateTitleValue(const CPdfOutlineItem& item) {
    return EscapeLiteralString(item.title);
}

std::string EscapeXmlText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            // Line ends would split the element; the bytes Windows-1252 leaves
            // undefined would make the file unreadable as XML.
            case '\t':
            case '\n':
            case '\r':
            case 0x81:
            case 0x8D:
            case 0x8F:
            case 0x90:
            case 0x9D:
                out += Format("&#x%X;", byte);
                break;
            default:
                // Other control bytes cannot stand in XML at all, not even as
                // references; a link or file name takes them in percent form.
                out += byte < 0x20 ? PercentEscape(byte) : std::string(1, c);
                break;
        }
    }
    return out;
}

namespace {

void WriteBookmarkBlock(std::FILE* file, const BookmarkRecord& record) {
    std::fputs("\t<Bookmark>\r\n", file);
    WriteXmlIntElement(file, 2, "Item", record.item);
    WriteXmlIntElement(file, 2, "Level", record.level);
    WriteXmlElement(file, 2, "Name", record.name);
    WriteXmlElement(file, 2, "Color", Format("%06X", record.color));
    WriteXmlElement(file, 2, "Style", record.style);
    for (const ActionRecord& action : record.actions) WriteActionBlock(file, action);
    std::fputs("\t</Bookmark>\r\n", file);
    for (const BookmarkRecord& child : record.children) WriteBookmarkBlock(file, child);
}

}  // namespace

void WriteBookmarkXml(std::FILE* file, const std::vector<BookmarkRecord>& records) {
    std::fputs("<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>\r\n", file);
    std::fputs("<Bookmarks>\r\n", file);
    for (const BookmarkRecord& record : records) WriteBookmarkBlock(file, record);
    std::fputs("</Bookmarks>\r\n", file);
}
