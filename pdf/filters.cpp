#include <algorithm>
#include <utility>
#include <vector>

#include "pdf/decoders.h"
#include "pdf/stream.h"

namespace {

int IntegerParameter(const CPdfDictionary* params, const char* key, int fallback) {
    if (params == nullptr) return fallback;
    CPdfElement value;
    params->lookup(key, value);
    return value.isInt() ? value.getInt() : fallback;
}

bool IsFlate(const std::string& name) {
    return name == "FlateDecode" || name == "Fl";
}

CPdfStream* MakeFlate(CPdfStream* stream, const CPdfElement& params) {
    const CPdfDictionary* dict = params.getDict();
    int predictor = IntegerParameter(dict, "Predictor", 1);
    int columns = IntegerParameter(dict, "Columns", 1);
    int colors = IntegerParameter(dict, "Colors", 1);
    int bits = IntegerParameter(dict, "BitsPerComponent", 8);
    if (predictor != 1 && !CPdfPredictor::parametersValid(columns, colors, bits)) return nullptr;
    return new CPdfFlateStream(stream, predictor, columns, colors, bits);
}

// Every byte a stream gives, up to the decoding limit.
std::string ReadWhole(CPdfStream& stream) {
    std::string bytes;
    for (int c = stream.getChar(); c >= 0 && bytes.size() <= CPdfFlateStream::kMaxInflatedBytes;
         c = stream.getChar()) {
        bytes += static_cast<char>(c);
    }
    return bytes;
}

// The filters of a stream dictionary with their parameters, in order; false
// when they are not names.
bool ListFilters(const CPdfDictionary& dict,
                 std::vector<std::pair<std::string, CPdfElement>>& list) {
    CPdfElement filter, params;
    dict.lookup("Filter", filter);
    if (filter.isNull()) dict.lookup("F", filter);
    dict.lookup("DecodeParms", params);
    if (params.isNull()) dict.lookup("DP", params);
    if (filter.isNull()) return true;
    if (filter.isName()) {
        list.emplace_back(filter.getText(), params);
        return true;
    }
    const CPdfArray* names = filter.getArray();
    if (names == nullptr) return false;
    for (int i = 0; i < names->getLength(); ++i) {
        CPdfElement name, param;
        names->get(i, name);
        if (!name.isName()) return false;
        // A filter array comes with an array of parameters, one for each.
        if (params.isArray()) params.getArray()->get(i, param);
        if (params.isDict()) params.copy(param);
        list.emplace_back(name.getText(), param);
    }
    return true;
}

}  // namespace

CPdfStream* addFilters(CPdfStream* stream, const CPdfElement& dict) {
    const CPdfDictionary* streamDict = dict.getDict();
    if (streamDict == nullptr) return stream;
    std::vector<std::pair<std::string, CPdfElement>> filters;
    if (!ListFilters(*streamDict, filters)) return nullptr;
    if (filters.empty()) return stream;
    if (filters.size() == 1 && IsFlate(filters[0].first))
        return MakeFlate(stream, filters[0].second);

    // Any other filter or chain: decoded stage by stage in memory. The stream
    // is taken over only when every stage succeeds.
    std::string data = ReadWhole(*stream);
    stream->reset();
    for (const auto& [name, params] : filters) {
        if (IsFlate(name)) {
            CPdfElement none;
            none.initNull();
            CPdfStream* flate = MakeFlate(new CPdfMemoryStream(std::move(data), none), params);
            if (flate == nullptr) return nullptr;
            data = ReadWhole(*flate);
            flate->decRef();
            continue;
        }
        std::optional<std::string> decoded = DecodeInMemory(name, data, params.getDict());
        if (!decoded) return nullptr;
        data = std::move(*decoded);
    }
    stream->decRef();
    return new CPdfMemoryStream(std::move(data), dict);
}
