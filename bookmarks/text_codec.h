#pragma once

#include <cstdint>
#include <string>

// How the values of the bookmark file stand in it and come back. The file is
// written in Windows-1252; every value read from it arrives as characters
// (UTF-8), whatever encoding the file was saved in.

// The Windows-1252 byte of a character, or -1 (the five bytes the encoding
// leaves undefined are never written as such).
int Cp1252Byte(char32_t character);
// The character of a Windows-1252 byte; the five undefined bytes stand for the
// characters of their values, as Windows reads them.
char32_t Cp1252Character(unsigned char byte);

// A title as the Name value: "%" and two hexadecimal digits for "%" and for
// control characters; the usual entities, "&obr;" and "&cbr;" for the
// parentheses; character references for what Windows-1252 cannot hold.
// "%" escapes read back as PDFDocEncoding bytes, except 0x18 to 0x1F: the
// control characters of those values (PDFDocEncoding's accents there are
// written as references).
std::string TitleToXml(const std::string& title);
// A Name value read from the file back to the title's characters. False when
// a "%" is not followed by two hexadecimal digits; bad then holds what stands there.
bool TitleFromXml(const std::string& value, std::string& title, std::string& bad);

// Text of characters (a file name, a script) as an element value: "&", "<" and
// ">" as entities, line ends and tabs as character references, other control
// characters (which XML cannot hold) as "%" and two hexadecimal digits.
std::string TextToXml(const std::string& characters);

// Bytes (a link, a menu item's name, a destination's name) as an element
// value. Bytes of Windows-1252 stand as they are, control bytes as "%" and two
// hexadecimal digits; with percentSign, "%" itself is written "%25".
std::string BytesToXml(const std::string& bytes, bool percentSign);
// The bytes that characters read from the file stand for: a character up to
// U+00FF is that byte, one of Windows-1252 that byte, any other its UTF-8.
std::string BytesFromCharacters(const std::string& characters);
// A destination's name read from the file: its "%" escapes decoded, then its
// characters as bytes. False as TitleFromXml.
bool NamedDestinationFromXml(const std::string& value, std::string& bytes, std::string& bad);
// A link as an element value: ASCII, its other bytes (and blanks) as "%" and
// two hexadecimal digits, as links write them anyway.
std::string UriToXml(const std::string& uri);
// A link as the file gives it, made ASCII: other characters become the
// percent escapes of their UTF-8 bytes.
std::string UriFromCharacters(const std::string& characters);
