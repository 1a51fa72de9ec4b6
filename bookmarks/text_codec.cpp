#include "bookmarks/text_codec.h"

#include <array>
#include <cstring>

#include "structure/outline.h"

namespace {

// Unicode characters below U+10000 that PDFDocEncoding holds, mapped to their byte.
struct ReverseDocEncoding {
    std::array<int16_t, 0x10000> bytes{};
    ReverseDocEncoding() {
        bytes.fill(-1);
        for (int b = 255; b >= 0; --b) {
            uint32_t code = PdfDocEncodingToUnicode(static_cast<unsigned char>(b));
            if (code != 0) bytes[code] = static_cast<int16_t>(b);
        }
        for (int control : {0x09, 0x0A, 0x0D})
            bytes[static_cast<size_t>(control)] = static_cast<int16_t>(control);
    }
};

bool IsRegularNameByte(unsigned char byte) {
    return byte >= 0x21 && byte <= 0x7E && std::strchr("()<>[]{}/%#", byte) == nullptr;
}

}  // namespace

int PdfDocEncodingByte(uint32_t character) {
    static const ReverseDocEncoding table;
    if (character >= 0x10000) return -1;
    return table.bytes[character];
}

std::vector<uint32_t> DecodeUtf16Be(const std::string& bytes) {
    std::vector<uint32_t> characters;
    const size_t units = bytes.size() / 2;
    characters.reserve(units);
    auto unitAt = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<unsigned char>(bytes[2 * i])) << 8 |
               static_cast<unsigned char>(bytes[2 * i + 1]);
    };
    for (size_t i = 0; i < units; ++i) {
        uint32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            uint32_t low = unitAt(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                characters.push_back(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        if (unit >= 0xD800 && unit <= 0xDFFF) unit = 0xFFFD;
        characters.push_back(unit);
    }
    return characters;
}

void AppendUtf16Be(uint32_t character, std::string& out) {
    auto appendUnit = [&out](uint32_t unit) {
        out += static_cast<char>(unit >> 8);
        out += static_cast<char>(unit & 0xFF);
    };
    if (character >= 0x10000) {
        uint32_t offset = character - 0x10000;
        appendUnit(0xD800 + (offset >> 10));
        appendUnit(0xDC00 + (offset & 0x3FF));
    } else {
        appendUnit(character);
    }
}

std::string EscapeLiteralString(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() + 8);
    for (char byte : bytes) {
        switch (byte) {
            case '(':
            case ')':
            case '\\':
                out += '\\';
                out += byte;
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                out += byte;
                break;
        }
    }
    return out;
}

std::string EscapePdfName(const std::string& bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        if (IsRegularNameByte(byte)) {
            out += c;
        } else {
            out += '#';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

std::string ReplaceAll(const std::string& text, const std::string& pattern,
                       const std::string& replacement) {
    if (pattern.empty()) return text;
    std::string out;
    out.reserve(text.size());
    size_t from = 0;
    for (size_t found = text.find(pattern); found != std::string::npos;
         found = text.find(pattern, from)) {
        out.append(text, from, found - from);
        out += replacement;
        from = found + pattern.size();
    }
    out.append(text, from, std::string::npos);
    return out;
}
