#include <climits>
#include <cstdlib>
#include <string>

#include "pdf/characters.h"
#include "pdf/parser.h"

namespace {

enum CharClass : unsigned char { kRegular = 0, kWhite = 1, kDelimiter = 2 };

struct CharClassTable {
    CharClass classes[256] = {};
    constexpr CharClassTable() {
        for (unsigned char c : {0, 9, 10, 12, 13, 32}) classes[c] = kWhite;
        for (unsigned char c : {'%', '(', ')', '/', '<', '>', '[', ']', '{', '}'}) {
            classes[c] = kDelimiter;
        }
    }
};

constexpr CharClassTable kCharClasses;

bool IsWhite(int c) {
    return c >= 0 && kCharClasses.classes[c] == kWhite;
}
bool IsRegular(int c) {
    return c >= 0 && kCharClasses.classes[c] == kRegular;
}
bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

// Base-10 conversion that saturates at the 64-bit limits and stops at the
// first byte that is not a digit.
int64_t ToInt64(const std::string& text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    uint64_t value = 0;
    constexpr uint64_t kLimit = uint64_t{INT64_MAX};
    for (; i < text.size() && IsDigit(static_cast<unsigned char>(text[i])); ++i) {
        const auto digit = static_cast<uint64_t>(text[i] - '0');
        value = value > (kLimit - digit) / 10 ? kLimit : value * 10 + digit;
    }
    return negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
}

}  // namespace

int CPdfParser::getChar() {
    while (current_ < static_cast<int>(streams_.size())) {
        int c = streams_[static_cast<size_t>(current_)]->nextChar();
        if (c >= 0) return c;
        if (current_ + 1 >= static_cast<int>(streams_.size())) return -1;
        ++current_;
    }
    return -1;
}

int CPdfParser::lookChar() {
    if (current_ >= static_cast<int>(streams_.size())) return -1;
    return streams_[static_cast<size_t>(current_)]->peekChar();
}

void CPdfParser::getToken(CPdfElement& target) {
    target.free();
    int c;
    for (;;) {
        c = getChar();
        if (c < 0) {
            target.initEOF();
            return;
        }
        if (IsWhite(c)) continue;
        if (c != '%') break;
        do {
            c = getChar();
        } while (c >= 0 && c != '\r' && c != '\n');
        if (c < 0) {
            target.initEOF();
            return;
        }
    }

    switch (c) {
        case '(':
            readLiteralString(target);
            return;
        case ')':
        case '{':
        case '}':
            target.initError();
            return;
        case '/':
            readName(target);
            return;
        case '<':
            if (lookChar() == '<') {
                getChar();
                target.initCmd("<<");
            } else {
                readHexString(target);
            }
            return;
        case '>':
            if (lookChar() == '>') {
                getChar();
                target.initCmd(">>");
            } else {
                target.initError();
            }
            return;
        case '[':
            target.initCmd("[");
            return;
        case ']':
            target.initCmd("]");
            return;
        default:
            break;
    }
    if (c == '-' || c == '+' || c == '.' || IsDigit(c)) {
        readNumber(c, target);
        return;
    }
    std::string keyword(1, static_cast<char>(c));
    while (IsRegular(lookChar())) keyword += static_cast<char>(getChar());
    if (keyword == "true") {
        target.initBool(true);
    } else if (keyword == "false") {
        target.initBool(false);
    } else if (keyword == "null") {
        target.initNull();
    } else {
        target.initCmd(std::move(keyword));
    }
}

void CPdfParser::readLiteralString(CPdfElement& target) {
    std::string bytes;
    int depth = 1;
    for (;;) {
        int c = getChar();
        if (c < 0) break;
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (--depth == 0) break;
        } else if (c == '\\') {
            c = getChar();
            if (c < 0) break;
            switch (c) {
                case '\n':
                    continue;
                case '\r':
                    if (lookChar() == '\n') getChar();
                    continue;
                case 'b':
                    c = 8;
                    break;
                case 'f':
                    c = 12;
                    break;
                case 'n':
                    c = 10;
                    break;
                case 'r':
                    c = 13;
                    break;
                case 't':
                    c = 9;
                    break;
                default:
                    if (c >= '0' && c <= '7') {
                        int value = c - '0';
                        for (int digits = 1; digits < 3; ++digits) {
                            int next = lookChar();
                            if (next < '0' || next > '7') break;
                            value = value * 8 + (getChar() - '0');
                        }
                        c = value & 0xFF;
                    }
                    break;
            }
        }
        bytes += static_cast<char>(c);
    }
    target.initString(decrypted(std::move(bytes)));
}

void CPdfParser::readHexString(CPdfElement& target) {
    std::string bytes;
    int high = -1;
    for (;;) {
        int c = getChar();
        if (c < 0 || c == '>') break;
        if (IsWhite(c)) continue;
        int value = HexValue(c);
        if (value < 0) value = 0;
        if (high < 0) {
            high = value;
        } else {
            bytes += static_cast<char>(high * 16 + value);
            high = -1;
        }
    }
    if (high >= 0) bytes += static_cast<char>(high * 16);
    target.initString(decrypted(std::move(bytes)));
}

void CPdfParser::readNumber(int first, CPdfElement& target) {
    std::string text(1, static_cast<char>(first));
    bool real = first == '.';
    for (;;) {
        int c = lookChar();
        if (!IsDigit(c) && c != '.') break;
        if (c == '.') real = true;
        text += static_cast<char>(getChar());
    }
    if (real) {
        target.initReal(std::strtod(text.c_str(), nullptr));
    } else {
        target.initInt(ToInt64(text));
    }
}

void CPdfParser::readName(CPdfElement& target) {
    std::string name;
    for (;;) {
        int c = lookChar();
        if (!IsRegular(c)) break;
        getChar();
        if (c == '#' && HexValue(lookChar()) >= 0) {
            int high = HexValue(getChar());
            int low = HexValue(getChar());
            name += static_cast<char>(high * 16 + (low < 0 ? 0 : low));
            continue;
        }
        name += static_cast<char>(c);
    }
    target.initName(std::move(name));
}
