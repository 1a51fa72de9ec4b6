#!/usr/bin/env python3
"""Writes base/unicode_tables.inc: the Unicode 3.2 data that SASLprep
(RFC 4013) needs to prepare an AES-256 password, from Python's own copy of
that version (unicodedata.ucd_3_2_0, the one stringprep is defined on):

  - the characters mapped to nothing (table B.1) and the non-ASCII spaces
    mapped to a space (C.1.2);
  - every character's full compatibility decomposition (Hangul syllables
    aside: they decompose by arithmetic);
  - the canonical compositions that NFKC puts back together;
  - the canonical combining classes.

  python3 scripts/make_unicode_tables.py > base/unicode_tables.inc
"""
import stringprep
import unicodedata

UCD = unicodedata.ucd_3_2_0
HANGUL = range(0xAC00, 0xD7A4)


def literal(text, width=150):
    """A C string literal of UTF-8 text, in lines of about width bytes."""
    lines, line = [], ""
    for ch in text:
        piece = {"\\": "\\\\", '"': '\\"', }.get(ch, ch)
        if ord(ch) < 0x20 or ord(ch) == 0x7F:
            piece = "\\%03o" % ord(ch)
        if len(line.encode()) + len(piece.encode()) > width:
            lines.append(line)
            line = ""
        line += piece
    lines.append(line)
    return "\n".join('    "%s"' % l for l in lines)


def numbers(values, per_line=8):
    rows = [values[i:i + per_line] for i in range(0, len(values), per_line)]
    return "\n".join("    " + ", ".join("0x%X" % v for v in row) + "," for row in rows)


def main():
    chars = [c for c in range(0x110000) if not 0xD800 <= c <= 0xDFFF]
    nothing = [c for c in chars if stringprep.in_table_b1(chr(c))]
    spaces = [c for c in chars if stringprep.in_table_c12(chr(c))]
    decompositions = ""
    for c in chars:
        if c in HANGUL:
            continue
        full = UCD.normalize("NFKD", chr(c))
        if full != chr(c):
            decompositions += chr(c) + full + "\n"
    compositions = ""
    for c in chars:
        d = UCD.decomposition(chr(c))
        if not d or d.startswith("<") or c in HANGUL:
            continue
        parts = [int(p, 16) for p in d.split()]
        if len(parts) == 2 and UCD.normalize("NFC", UCD.normalize("NFD", chr(c))) == chr(c):
            compositions += chr(parts[0]) + chr(parts[1]) + chr(c)
    ranges = []
    for c in chars:
        cls = UCD.combining(chr(c))
        if not cls:
            continue
        if ranges and ranges[-1][1] == c - 1 and ranges[-1][2] == cls:
            ranges[-1][1] = c
        else:
            ranges.append([c, c, cls])
    print("// Made by scripts/make_unicode_tables.py from Unicode 3.2; do not edit.")
    print("// clang-format off")
    print("constexpr uint32_t kMappedToNothing[] = {\n%s\n};" % numbers(nothing))
    print("constexpr uint32_t kNonAsciiSpaces[] = {\n%s\n};" % numbers(spaces))
    print("// Each character, then its full compatibility decomposition, then a line feed.")
    print("constexpr char kDecompositions[] =\n%s;" % literal(decompositions))
    print("// First, second, and what they compose to: three characters each.")
    print("constexpr char kCompositions[] =\n%s;" % literal(compositions))
    print("// First, last, class.")
    print("constexpr uint32_t kCombiningClasses[] = {\n%s\n};" %
          numbers([v for r in ranges for v in r], per_line=9))
    print("// clang-format on")


if __name__ == "__main__":
    main()
