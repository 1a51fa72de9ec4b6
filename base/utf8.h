#pragma once

#include <cstdint>
#include <string>

// UTF-8, the form every text of the tool takes between the bookmark file and
// the PDF encodings. One decoder for the whole tool: overlong forms,
// surrogates and values past U+10FFFF are not UTF-8.
namespace utf8 {

// Appends one character (at most U+10FFFF) in UTF-8.
void Append(char32_t character, std::string& out);

// The valid sequence at `at`: its character and length; 0 when the bytes
// there do not form one.
size_t Decode(const std::string& text, size_t at, char32_t& character);

// Whether every byte of the text belongs to a valid sequence.
bool IsValid(const std::string& text);

// The characters of valid UTF-8 text; a byte that starts no valid sequence
// gives U+FFFD.
std::u32string ToCharacters(const std::string& text);
std::string FromCharacters(const std::u32string& characters);

}  // namespace utf8
