#include "bookmarks/text_codec.h"

#include <array>
#include <cstring>

#include "base/text_format.h"
#include "base/utf8.h"
#include "pdf/lexer.h"
#include "pdf/text_string.h"

namespace {

// Windows-1252 where it differs from Latin-1; 0 marks the undefined bytes.
constexpr char16_t kCp1252From80[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::string PercentEscape(unsigned char byte) {
    return Format("%%%02X", byte);
}

std::string CharacterReference(char32_t character) {
    return Format("&#x%04X;", static_cast<unsigned>(character));
}

// The entity of a character that XML text must not hold as it is, or null.
const char* EntityOf(char32_t character, bool withParentheses) {
    switch (character) {
        case '&':
            return "&amp;";
        case '<':
            return "&lt;";
        case '>':
            return "&gt;";
        case '\'':
            return withParentheses ? "&apos;" : nullptr;
        case '"':
            return withParentheses ? "&quot;" : nullptr;
        case '(':
            return withParentheses ? "&obr;" : nullptr;
        case ')':
            return withParentheses ? "&cbr;" : nullptr;
        default:
            return nullptr;
    }
}

// A character that stands for itself in the file, as its Windows-1252 byte;
// references take the characters that encoding lacks.
void AppendPlain(char32_t character, std::string& out) {
    const int byte = Cp1252Byte(character);
    if (byte >= 0) {
        out += static_cast<char>(byte);
    } else {
        // XML holds no U+FFFE or U+FFFF, not even as references.
        out += CharacterReference(character == 0xFFFE || character == 0xFFFF ? 0xFFFD : character);
    }
}

// Title characters that the Name value gives as "%" and the hexadecimal value
// of their PDFDocEncoding byte: "%" itself, the control characters XML cannot
// hold, and the bytes PDFDocEncoding leaves undefined there (0x7F, 0x9F and
// the soft hyphen 0xAD, which no editor shows).
bool TitlePercentEscaped(char32_t character) {
    return character < 0x20 || character == '%' || character == 0x7F || character == 0x9F ||
           character == 0xAD;
}

// Printable ASCII that stands for itself in every value: no entity, no escape.
bool IsPlainAscii(unsigned char c) {
    return c >= 0x20 && c < 0x7F && c != '%' && c != '&' && c != '<' && c != '>' && c != '\'' &&
           c != '"' && c != '(' && c != ')';
}

bool ReadPercentEscape(const std::u32string& text, size_t at, unsigned char& byte) {
    if (at + 2 >= text.size()) return false;
    const int high = text[at + 1] < 0x80 ? pdf::HexValue(static_cast<int>(text[at + 1])) : -1;
    const int low = text[at + 2] < 0x80 ? pdf::HexValue(static_cast<int>(text[at + 2])) : -1;
    if (high < 0 || low < 0) return false;
    byte = static_cast<unsigned char>(high * 16 + low);
    return true;
}

// What stands at a bad "%": the sign and up to two characters behind it.
std::string BadEscape(const std::u32string& text, size_t at) {
    return utf8::FromCharacters(text.substr(at, 3));
}

}  // namespace

int Cp1252Byte(char32_t character) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) {
        return static_cast<int>(character);
    }
    for (int i = 0; i < 32; ++i) {
        if (kCp1252From80[i] != 0 && kCp1252From80[i] == character) return 0x80 + i;
    }
    return -1;
}

char32_t Cp1252Character(unsigned char byte) {
    if (byte < 0x80 || byte >= 0xA0) return byte;
    const char16_t character = kCp1252From80[byte - 0x80];
    return character != 0 ? character : byte;
}

std::string TitleToXml(const std::string& title) {
    std::string out;
    out.reserve(title.size());
    for (size_t at = 0; at < title.size();) {
        // Runs of plain ASCII, most of every title, go in as they are.
        size_t plain = at;
        while (plain < title.size() && IsPlainAscii(static_cast<unsigned char>(title[plain])))
            ++plain;
        out.append(title, at, plain - at);
        at = plain;
        if (at == title.size()) break;
        char32_t character = 0xFFFD;
        const size_t length = utf8::Decode(title, at, character);
        at += length == 0 ? 1 : length;
        if (TitlePercentEscaped(character)) {
            out += PercentEscape(static_cast<unsigned char>(character));
        } else if (const char* entity = EntityOf(character, true)) {
            out += entity;
        } else {
            AppendPlain(character, out);
        }
    }
    return out;
}

bool TitleFromXml(const std::string& value, std::string& title, std::string& bad) {
    const std::u32string text = utf8::ToCharacters(value);
    title.clear();
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '%') {
            utf8::Append(text[at], title);
            continue;
        }
        unsigned char byte = 0;
        if (!ReadPercentEscape(text, at, byte)) {
            bad = BadEscape(text, at);
            return false;
        }
        at += 2;
        const char32_t defined = pdftext::PdfDocCharacter(byte);
        // 0x18 to 0x1F are the control characters of those values: the export
        // writes PDFDocEncoding's accents there as references.
        utf8::Append(byte >= 0x18 && byte < 0x20 ? byte : (defined != 0 ? defined : byte), title);
    }
    return true;
}

std::string TextToXml(const std::string& characters) {
    std::string out;
    out.reserve(characters.size());
    for (char32_t character : utf8::ToCharacters(characters)) {
        if (const char* entity = EntityOf(character, false)) {
            out += entity;
        } else if (character == '\t' || character == '\n' || character == '\r' ||
                   character == 0x7F) {
            out += Format("&#x%X;", static_cast<unsigned>(character));
        } else if (character < 0x20) {
            out += PercentEscape(static_cast<unsigned char>(character));
        } else {
            AppendPlain(character, out);
        }
    }
    return out;
}

std::string BytesToXml(const std::string& bytes, bool percentSign) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t at = 0; at < bytes.size(); ++at) {
        // Runs of plain ASCII, most of every name, go in as they are.
        size_t plain = at;
        while (plain < bytes.size() && IsPlainAscii(static_cast<unsigned char>(bytes[plain])))
            ++plain;
        out.append(bytes, at, plain - at);
        at = plain;
        if (at == bytes.size()) break;
        const char c = bytes[at];
        const auto byte = static_cast<unsigned char>(c);
        if (const char* entity = EntityOf(byte, false)) {
            out += entity;
        } else if (byte == '\t' || byte == '\n' || byte == '\r' ||
                   Cp1252Byte(Cp1252Character(byte)) < 0) {
            // Line ends would split the element; the bytes Windows-1252 leaves
            // undefined would make the file unreadable as XML.
            out += Format("&#x%X;", byte);
        } else if (byte < 0x20 || byte == 0x7F || (percentSign && byte == '%')) {
            out += PercentEscape(byte);
        } else {
            out += c;  // the file's own encoding gives it its character
        }
    }
    return out;
}

std::string UriToXml(const std::string& uri) {
    std::string out;
    out.reserve(uri.size());
    for (char c : uri) {
        const auto byte = static_cast<unsigned char>(c);
        if (const char* entity = EntityOf(byte, false)) {
            out += entity;
        } else if (byte > 0x20 && byte < 0x7F) {
            out += c;
        } else {
            out += PercentEscape(byte);
        }
    }
    return out;
}

std::string BytesFromCharacters(const std::string& characters) {
    std::string bytes;
    for (char32_t character : utf8::ToCharacters(characters)) {
        const int byte = character <= 0xFF ? static_cast<int>(character) : Cp1252Byte(character);
        if (byte >= 0) {
            bytes += static_cast<char>(byte);
        } else {
            utf8::Append(character, bytes);
        }
    }
    return bytes;
}

bool NamedDestinationFromXml(const std::string& value, std::string& bytes, std::string& bad) {
    const std::u32string text = utf8::ToCharacters(value);
    bytes.clear();
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '%') {
            bytes += BytesFromCharacters(utf8::FromCharacters(text.substr(at, 1)));
            continue;
        }
        unsigned char byte = 0;
        if (!ReadPercentEscape(text, at, byte)) {
            bad = BadEscape(text, at);
            return false;
        }
        bytes += static_cast<char>(byte);
        at += 2;
    }
    return true;
}

std::string UriFromCharacters(const std::string& characters) {
    std::string uri;
    for (char32_t character : utf8::ToCharacters(characters)) {
        if (character > 0x20 && character < 0x7F) {
            uri += static_cast<char>(character);
            continue;
        }
        std::string bytes;
        utf8::Append(character, bytes);
        for (unsigned char byte : bytes) uri += PercentEscape(byte);
    }
    return uri;
}
