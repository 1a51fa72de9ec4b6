#pragma once

#include <string>

// PDF text strings (titles, file names, scripts) and the characters they
// hold, as UTF-8. A text string is UTF-16BE after the mark FE FF, UTF-8 after
// EF BB BF, and PDFDocEncoding otherwise.
namespace pdftext {

// The character a PDFDocEncoding byte stands for; 0 for the bytes it leaves
// undefined (0x00 to 0x17, tab, line feed and carriage return among them,
// 0x7F, 0x9F and 0xAD).
char32_t PdfDocCharacter(unsigned char byte);
// The byte that holds a character in PDFDocEncoding, or -1. Each undefined
// byte holds the character of its own value (U+0009 in 0x09, U+007F in
// 0x7F), so that every byte string decodes and encodes back to itself.
int PdfDocByte(char32_t character);

// The characters of a text string; an undefined PDFDocEncoding byte gives the
// character of its value, a broken UTF-16 or UTF-8 sequence U+FFFD.
std::string Decode(const std::string& bytes);
// Characters as a text string: PDFDocEncoding when it holds every one of
// them, else UTF-16BE with its mark (pairs of surrogates beyond U+FFFF).
std::string Encode(const std::string& characters);
// Whether PDFDocEncoding holds every character.
bool FitsPdfDoc(const std::string& characters);
// Characters as UTF-16BE text with its mark.
std::string EncodeUtf16(const std::string& characters);

}  // namespace pdftext
