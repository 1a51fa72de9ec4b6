#include "pdf/text_string.h"

#include <array>

#include "base/utf8.h"

namespace pdftext {

namespace {

// PDFDocEncoding where it differs from Latin-1; 0 marks bytes it leaves undefined.
char32_t SpecialCharacter(unsigned char byte) {
    static const char16_t kFrom18[8] = {0x02D8, 0x02C7, 0x02C6, 0x02D9,
                                        0x02DD, 0x02DB, 0x02DA, 0x02DC};
    static const char16_t kFrom80[32] = {
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

// Characters below U+10000 mapped to their PDFDocEncoding byte.
struct ReverseTable {
    std::array<int16_t, 0x10000> bytes{};
    ReverseTable() {
        bytes.fill(-1);
        for (int b = 0; b < 256; ++b) {
            const char32_t defined = SpecialCharacter(static_cast<unsigned char>(b));
            bytes[defined != 0 ? defined : static_cast<char32_t>(b)] = static_cast<int16_t>(b);
        }
    }
};

void AppendUnit(char32_t unit, std::string& out) {
    out += static_cast<char>(unit >> 8);
    out += static_cast<char>(unit & 0xFF);
}

std::string DecodeUtf16(const std::string& bytes) {
    std::string out;
    const size_t units = bytes.size() / 2;
    auto unitAt = [&](size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * i]) << 8 |
                                     static_cast<unsigned char>(bytes[2 * i + 1]));
    };
    for (size_t i = 0; i < units; ++i) {
        char32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            const char32_t low = unitAt(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                utf8::Append(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), out);
                ++i;
                continue;
            }
        }
        if (unit >= 0xD800 && unit <= 0xDFFF) unit = 0xFFFD;
        utf8::Append(unit, out);
    }
    return out;
}

}  // namespace

char32_t PdfDocCharacter(unsigned char byte) {
    return SpecialCharacter(byte);
}

int PdfDocByte(char32_t character) {
    static const ReverseTable table;
    return character < 0x10000 ? table.bytes[character] : -1;
}

std::string Decode(const std::string& bytes) {
    if (bytes.compare(0, 2, "\xFE\xFF") == 0) return DecodeUtf16(bytes.substr(2));
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        return utf8::FromCharacters(utf8::ToCharacters(bytes.substr(3)));
    }
    std::string out;
    out.reserve(bytes.size());
    // ASCII but the eight accents at 0x18 stands for itself: such runs go in whole.
    const auto asItIs = [](unsigned char byte) {
        return byte < 0x80 && (byte < 0x18 || byte >= 0x20);
    };
    for (size_t at = 0; at < bytes.size(); ++at) {
        const size_t from = at;
        while (at < bytes.size() && asItIs(static_cast<unsigned char>(bytes[at]))) ++at;
        out.append(bytes, from, at - from);
        if (at == bytes.size()) break;
        const auto byte = static_cast<unsigned char>(bytes[at]);
        const char32_t defined = SpecialCharacter(byte);
        utf8::Append(defined != 0 ? defined : byte, out);
    }
    return out;
}

bool FitsPdfDoc(const std::string& characters) {
    for (char32_t character : utf8::ToCharacters(characters)) {
        if (PdfDocByte(character) < 0) return false;
    }
    return true;
}

std::string EncodeUtf16(const std::string& characters) {
    std::string out = "\xFE\xFF";
    for (char32_t character : utf8::ToCharacters(characters)) {
        if (character >= 0x10000) {
            AppendUnit(0xD800 + ((character - 0x10000) >> 10), out);
            AppendUnit(0xDC00 + ((character - 0x10000) & 0x3FF), out);
        } else {
            AppendUnit(character, out);
        }
    }
    return out;
}

std::string Encode(const std::string& characters) {
    if (!FitsPdfDoc(characters)) return EncodeUtf16(characters);
    std::string out;
    for (char32_t character : utf8::ToCharacters(characters)) {
        out += static_cast<char>(PdfDocByte(character));
    }
    return out;
}

}  // namespace pdftext
