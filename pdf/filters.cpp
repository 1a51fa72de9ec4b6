// Stream filters, decoded whole into memory: the streams the tool decodes
// (cross-reference streams, object streams, scripts) are small.
#include "pdf/filters.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

#include "base/error.h"
#include "pdf/lexer.h"

namespace pdf {

namespace {

int IntegerParameter(const Dictionary* params, const char* key, int fallback,
                     const Resolve& resolve) {
    if (params == nullptr) return fallback;
    const Object value = resolve(params->get(key));
    return value.isInteger() ? value.integer() : fallback;
}

// Inflates until the data ends, breaks off or passes the limit. The zlib
// header is read here and the data inflated raw: its checksum is never
// needed, as data that breaks off is taken as far as it goes anyway.
std::string Inflate(const std::string& in) {
    std::string out;
    if (in.size() < 2) return out;
    const auto method = static_cast<unsigned char>(in[0]);
    const auto flags = static_cast<unsigned char>(in[1]);
    // Deflate, a window of at most 32 KiB, a sound check, no preset dictionary.
    if ((method & 0x0F) != 8 || (method >> 4) > 7 || (method * 256 + flags) % 31 != 0 ||
        (flags & 0x20) != 0) {
        return out;
    }
    z_stream stream{};
    if (inflateInit2_(&stream, -15, "1.2.2", static_cast<int>(sizeof(z_stream))) != Z_OK) {
        return out;
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data() + 2));
    stream.avail_in = static_cast<uInt>(std::min<size_t>(in.size() - 2, UINT32_MAX));
    // Inflated a piece at a time into a buffer that is never cleared, each
    // piece appended: no byte of the result is written twice over, and a
    // stream of one piece gets a result of just its size.
    constexpr size_t kPiece = 64 << 10;
    const std::unique_ptr<char[]> piece(new char[kPiece]);
    for (;;) {
        const size_t room = std::min(kPiece, kMaxDecodedBytes - out.size());
        if (room == 0) break;
        stream.next_out = reinterpret_cast<Bytef*>(piece.get());
        stream.avail_out = static_cast<uInt>(room);
        // Z_FINISH spares zlib copying each piece into its window when the
        // data ends within it; otherwise it goes on as Z_NO_FLUSH would, and
        // says so with Z_BUF_ERROR.
        const int result = inflate(&stream, Z_FINISH);
        const size_t produced = room - stream.avail_out;
        out.append(piece.get(), produced);
        const bool mayGoOn = result == Z_OK || result == Z_BUF_ERROR;
        if (!mayGoOn || stream.avail_out != 0) break;
    }
    inflateEnd(&stream);
    return out;
}

}  // namespace

std::string FlateEncode(const std::string& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK) {
        throw Error("Out of memory compressing a stream\n");
    }
    out.resize(size);
    return out;
}

namespace {

int64_t RowDataBytes(int columns, int colors, int bits) {
    return (int64_t{columns} * colors * bits + 7) / 8;
}

bool PredictorParametersValid(int columns, int colors, int bits) {
    if (columns < 1 || colors < 1 || colors > 32) return false;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16) return false;
    return RowDataBytes(columns, colors, bits) <= kMaxRowBytes;
}

// TIFF predictor 2 on one row: each sample adds the decoded sample of the
// same component one pixel to the left.
void UndoTiffDifferencing(unsigned char* row, int columns, int colors, int bits) {
    const int values = columns * colors;
    if (bits == 8) {
        for (int i = colors; i < values; ++i) {
            row[i] = static_cast<unsigned char>(row[i] + row[i - colors]);
        }
        return;
    }
    const uint32_t mask = (1u << bits) - 1;
    auto read = [&](int sample) {
        size_t bit = static_cast<size_t>(sample) * static_cast<size_t>(bits);
        uint32_t value = 0;
        for (int k = 0; k < bits; ++k, ++bit)
            value = value << 1 | ((row[bit / 8] >> (7 - bit % 8)) & 1u);
        return value;
    };
    auto write = [&](int sample, uint32_t value) {
        size_t bit = (static_cast<size_t>(sample) + 1) * static_cast<size_t>(bits);
        for (int k = 0; k < bits; ++k) {
            --bit;
            const auto flag = static_cast<unsigned char>(1u << (7 - bit % 8));
            row[bit / 8] = static_cast<unsigned char>((value & 1u) ? row[bit / 8] | flag
                                                                   : row[bit / 8] & ~flag);
            value >>= 1;
        }
    };
    for (int sample = colors; sample < values; ++sample) {
        write(sample, (read(sample) + read(sample - colors)) & mask);
    }
}

// Undoes a PNG (10 to 15) or TIFF (2) predictor row by row; a row cut off at
// the end is dropped.
std::string UndoPredictor(const std::string& in, int predictor, int columns, int colors, int bits) {
    const int pixelBytes = (colors * bits + 7) / 8;
    const auto rowBytes = static_cast<size_t>(RowDataBytes(columns, colors, bits));
    const bool png = predictor >= 10;
    std::vector<unsigned char> previous(rowBytes + static_cast<size_t>(pixelBytes), 0);
    std::vector<unsigned char> row(previous.size(), 0);
    std::string out;
    for (size_t at = 0;;) {
        int method = predictor;
        if (png) {
            if (at >= in.size()) break;
            method = static_cast<unsigned char>(in[at++]) + 10;
        }
        if (in.size() - at < rowBytes) break;
        row.swap(previous);
        for (size_t i = 0; i < rowBytes; ++i) {
            const int c = static_cast<unsigned char>(in[at + i]);
            const size_t k = i + static_cast<size_t>(pixelBytes);
            const int left = row[k - static_cast<size_t>(pixelBytes)];
            const int up = previous[k];
            const int upLeft = previous[k - static_cast<size_t>(pixelBytes)];
            int value = c;
            switch (method) {
                case 11:
                    value = left + c;
                    break;
                case 12:
                    value = up + c;
                    break;
                case 13:
                    value = (left + up) / 2 + c;
                    break;
                case 14: {
                    const int p = left + up - upLeft;
                    const int pa = std::abs(p - left), pb = std::abs(p - up),
                              pc = std::abs(p - upLeft);
                    value = (pa <= pb && pa <= pc ? left : pb <= pc ? up : upLeft) + c;
                    break;
                }
            }
            row[k] = static_cast<unsigned char>(value & 0xFF);
        }
        at += rowBytes;
        if (predictor == 2) UndoTiffDifferencing(row.data() + pixelBytes, columns, colors, bits);
        out.append(reinterpret_cast<const char*>(row.data()) + pixelBytes, rowBytes);
        if (out.size() > kMaxDecodedBytes) break;
    }
    return out;
}

std::optional<std::string> Flate(const std::string& in, const Dictionary* params,
                                 const Resolve& resolve) {
    const int predictor = IntegerParameter(params, "Predictor", 1, resolve);
    const int columns = IntegerParameter(params, "Columns", 1, resolve);
    const int colors = IntegerParameter(params, "Colors", 1, resolve);
    const int bits = IntegerParameter(params, "BitsPerComponent", 8, resolve);
    if (predictor != 1 && !PredictorParametersValid(columns, colors, bits)) return std::nullopt;
    std::string out = Inflate(in);
    if (predictor != 1) out = UndoPredictor(out, predictor, columns, colors, bits);
    return out;
}

std::optional<std::string> AsciiHex(const std::string& in) {
    std::string out;
    int high = -1;
    for (unsigned char c : in) {
        if (c == '>') break;
        if (IsWhite(c)) continue;
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
        const auto c = static_cast<unsigned char>(in[at]);
        if (c == '~') break;
        if (IsWhite(c)) continue;
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

std::optional<std::string> DecodeOne(const std::string& name, const std::string& data,
                                     const Dictionary* params, const Resolve& resolve) {
    if (name == "FlateDecode" || name == "Fl") return Flate(data, params, resolve);
    if (name == "ASCIIHexDecode" || name == "AHx") return AsciiHex(data);
    if (name == "ASCII85Decode" || name == "A85") return Ascii85(data);
    if (name == "RunLengthDecode" || name == "RL") return RunLength(data);
    if (name == "LZWDecode" || name == "LZW") {
        const int early = IntegerParameter(params, "EarlyChange", 1, resolve);
        return Lzw(data, early != 0);
    }
    return std::nullopt;
}

using FilterList = std::vector<std::pair<std::string, Object>>;

// The filters of a stream dictionary with their parameters, in order; nothing
// when they are not names.
std::optional<FilterList> ListFilters(const Dictionary& dict, const Resolve& resolve) {
    Object filter = resolve(dict.get("Filter"));
    if (filter.isNull()) filter = resolve(dict.get("F"));
    Object params = resolve(dict.get("DecodeParms"));
    if (params.isNull()) params = resolve(dict.get("DP"));
    FilterList filters;
    if (filter.isNull()) return filters;
    if (filter.isName()) {
        filters.emplace_back(filter.text(), params);
        return filters;
    }
    const Array* names = filter.array();
    if (names == nullptr) return std::nullopt;
    for (size_t i = 0; i < names->size(); ++i) {
        const Object name = resolve(names->at(i));
        if (!name.isName()) return std::nullopt;
        // A filter array comes with an array of parameters, one for each.
        Object param = params.isArray()        ? resolve(params.array()->at(i))
                       : params.isDictionary() ? params
                                               : Object::MakeNull();
        filters.emplace_back(name.text(), std::move(param));
    }
    return filters;
}

bool IsFlate(const std::string& name) {
    return name == "FlateDecode" || name == "Fl";
}

}  // namespace

bool FiltersKnown(const Dictionary& dict, const Resolve& resolve) {
    static const char* const kKnown[] = {"FlateDecode",   "Fl",  "ASCIIHexDecode",  "AHx",
                                         "ASCII85Decode", "A85", "RunLengthDecode", "RL",
                                         "LZWDecode",     "LZW"};
    const std::optional<FilterList> filters = ListFilters(dict, resolve);
    if (!filters) return false;
    for (const auto& [name, params] : *filters) {
        if (std::find(std::begin(kKnown), std::end(kKnown), name) == std::end(kKnown)) return false;
        if (!IsFlate(name)) continue;
        const Dictionary* parameters = params.dictionary();
        const int predictor = IntegerParameter(parameters, "Predictor", 1, resolve);
        if (predictor != 1 && !PredictorParametersValid(
                                  IntegerParameter(parameters, "Columns", 1, resolve),
                                  IntegerParameter(parameters, "Colors", 1, resolve),
                                  IntegerParameter(parameters, "BitsPerComponent", 8, resolve))) {
            return false;
        }
    }
    return true;
}

std::optional<std::string> DecodeStreamData(std::string data, const Dictionary& dict,
                                            const Resolve& resolve) {
    const std::optional<FilterList> filters = ListFilters(dict, resolve);
    if (!filters) return std::nullopt;
    for (const auto& [name, param] : *filters) {
        std::optional<std::string> decoded = DecodeOne(name, data, param.dictionary(), resolve);
        if (!decoded) return std::nullopt;
        data = std::move(*decoded);
    }
    return data;
}

}  // namespace pdf
