#pragma once

#include <string>

// Builds PDF files from their objects written as text. The builder only
// computes what a person cannot write by hand: offsets, cross-reference
// tables and streams, stream lengths and compressed data.
//
// The text is read line by line; lines that start with "#" are comments:
//   @junk TEXT          bytes before the header
//   @version V          the header's version (1.7 unless given)
//   @hole N             N bytes the file leaves out (a gap on disk), so that
//                       offsets past 4 GiB cost no room; see WritePdf
//   N G obj ... endobj  an object, on one line or several; "/Length ?" in its
//                       dictionary becomes the length of the data between the
//                       "stream" and "endstream" lines, deflated first when
//                       the dictionary names /FlateDecode
//   @objstm K [F] [length+N] ... @end  the objects between go into object
//                       stream K, deflated; F "hex" adds ASCIIHexDecode, another
//                       F names the only filter and leaves the data as it is;
//                       length+N or length-N puts its Length off by N bytes
//   @free N             lists N as free in this section
//   @entry N OFFSET     lists N at OFFSET (or at object M's offset: =M)
//   @index N I          lists N, of an object stream, at index I there
//   @xref FORM [w=a,b,c] [index] [raw] [prevref] [loop] TRAILER
//                       ends a section: FORM is table, stream, or hybrid (a
//                       table and, for compressed objects, an /XRefStm stream);
//                       the trailer entries start at the first "/"; loop makes
//                       a table's Prev name the table itself
// Any other line is copied as it stands. Text without any @xref line ends
// in "@xref table /Root 1 0 R". Offsets count from the header.
namespace fixture {

std::string BuildPdf(const std::string& text);
// Writes the file the text describes, holes included.
void WritePdf(const std::string& path, const std::string& text);

// Catalog 1 (with extra entries), page tree 2, pages 3 to count + 2.
std::string Pages(int count, const std::string& catalogExtra = "");

std::string Deflate(const std::string& data);

}  // namespace fixture
