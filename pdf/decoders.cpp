// The filters other than FlateDecode, decoded whole into memory: streams that
// use them are rare and small, and a chain is simplest taken stage by stage.
#include "pdf/decoders.h"

#include <algorithm>
#include <vector>

#include "pdf/characters.h"

CPdfMemoryStream::CPdfMemoryStream(std::string data, const CPdfElement& dict)
    : data_(std::move(data)) {
    dict.copy(dict_);
    next_ = begin();
    end_ = begin() + data_.size();
}

int CPdfMemoryStream::getChar() {
    return next_ < end_ ? *next_++ : -1;
}

int CPdfMemoryStream::lookChar() {
    return next_ < end_ ? *next_ : -1;
}

void CPdfMemoryStream::setPos(int64_t position, int) {
    next_ = begin() + std::clamp<int64_t>(position, 0, static_cast<int64_t>(data_.size()));
}

namespace {

constexpr size_t kMaxDecodedBytes = CPdfFlateStream::kMaxInflatedBytes;

std::optional<std::string> AsciiHex(const std::string& in) {
    std::string out;
    int high = -1;
    for (unsigned char c : in) {
        if (c == '>') break;
        if (IsPdfWhite(c)) continue;
        const int value = HexValue(c);
        if (value < 0) return std::nullopt;
        if (high < 0) {
            high = value;
        } else {
            out += static_cast<char>(high * 16 + value);
            high = -1;
        }
    }
    if (high >= 0) out += static_cast<char>(high * 16);
    return out;
}

std::optional<std::string> Ascii85(const std::string& in) {
    std::string out;
    uint32_t group = 0;
    int count = 0;
    auto flush = [&](int bytes) {
        for (int i = 0; i < bytes; ++i) out += static_cast<char>(group >> (24 - 8 * i));
    };
    for (size_t at = 0; at < in.size() && out.size() <= kMaxDecodedBytes; ++at) {
        const unsigned char c = in[at];
        if (c == '~') break;
        if (IsPdfWhite(c)) continue;
        if (c == 'z' && count == 0) {
            out.append(4, '\0');
            continue;
        }
        if (c < '!' || c > 'u') return std::nullopt;
        group = group * 85 + (c - '!');
        if (++count == 5) {
            flush(4);
            group = 0;
            count = 0;
        }
    }
    if (count == 1) return std::nullopt;
    if (count > 1) {
        for (int i = count; i < 5; ++i) group = group * 85 + 84;
        flush(count - 1);
    }
    return out;
}

std::optional<std::string> RunLength(const std::string& in) {
    std::string out;
    for (size_t at = 0; at < in.size() && out.size() <= kMaxDecodedBytes;) {
        const auto length = static_cast<unsigned char>(in[at++]);
        if (length == 128) break;
        if (length < 128) {
            out += in.substr(at, length + 1u);
            at += length + 1u;
        } else if (at < in.size()) {
            out.append(257u - length, in[at++]);
        }
    }
    return out;
}

std::optional<std::string> Lzw(const std::string& in, bool earlyChange) {
    std::vector<std::string> table;
    auto resetTable = [&table] {
        table.assign(258, std::string());
        for (int i = 0; i < 256; ++i)
            table[static_cast<size_t>(i)] = std::string(1, static_cast<char>(i));
    };
    resetTable();
    std::string out, previous;
    uint32_t buffer = 0;
    int bits = 0, width = 9;
    for (unsigned char c : in) {
        buffer = buffer << 8 | c;
        bits += 8;
        while (bits >= width) {
            const uint32_t code = (buffer >> (bits - width)) & ((1u << width) - 1);
            bits -= width;
            if (code == 257) return out;
            if (code == 256) {
                resetTable();
                previous.clear();
                width = 9;
                continue;
            }
            std::string entry;
            if (code < table.size()) {
                entry = table[code];
            } else if (code == table.size() && !previous.empty()) {
                entry = previous + previous[0];
            } else {
                return std::nullopt;
            }
            out += entry;
            if (out.size() > kMaxDecodedBytes) return out;
            if (!previous.empty() && table.size() < 4096) table.push_back(previous + entry[0]);
            previous = entry;
            const size_t next = table.size() + (earlyChange ? 1 : 0);
            width = next >= 2048 ? 12 : next >= 1024 ? 11 : next >= 512 ? 10 : 9;
        }
    }
    return out;
}

}  // namespace

std::optional<std::string> DecodeInMemory(const std::string& name, const std::string& data,
                                          const CPdfDictionary* params) {
    if (name == "ASCIIHexDecode" || name == "AHx") return AsciiHex(data);
    if (name == "ASCII85Decode" || name == "A85") return Ascii85(data);
    if (name == "RunLengthDecode" || name == "RL") return RunLength(data);
    if (name == "LZWDecode" || name == "LZW") {
        CPdfElement early;
        if (params != nullptr) params->lookup("EarlyChange", early);
        return Lzw(data, !early.isInt() || early.getInt() != 0);
    }
    return std::nullopt;
}
