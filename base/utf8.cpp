#include "base/utf8.h"

namespace utf8 {

void Append(char32_t character, std::string& out) {
    if (character < 0x80) {
        out += static_cast<char>(character);
        return;
    }
    if (character < 0x800) {
        out += static_cast<char>(0xC0 | (character >> 6));
    } else if (character < 0x10000) {
        out += static_cast<char>(0xE0 | (character >> 12));
        out += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (character >> 18));
        out += static_cast<char>(0x80 | ((character >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((character >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (character & 0x3F));
}

size_t Decode(const std::string& text, size_t at, char32_t& character) {
    if (at >= text.size()) return 0;
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        character = lead;
        return 1;
    }
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || at + length > text.size()) return 0;
    char32_t value = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) return 0;
        value = value << 6 | (next & 0x3F);
    }
    const char32_t shortest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (value < shortest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    character = value;
    return length;
}

bool IsValid(const std::string& text) {
    char32_t ignored = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t length = Decode(text, at, ignored);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

std::u32string ToCharacters(const std::string& text) {
    std::u32string characters;
    characters.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        char32_t character = 0xFFFD;
        const size_t length = Decode(text, at, character);
        characters += length == 0 ? char32_t{0xFFFD} : character;
        at += length == 0 ? 1 : length;
    }
    return characters;
}

std::string FromCharacters(const std::u32string& characters) {
    std::string text;
    text.reserve(characters.size());
    for (char32_t character : characters) Append(character, text);
    return text;
}

}  // namespace utf8
