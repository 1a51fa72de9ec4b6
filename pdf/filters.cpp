#include "pdf/stream.h"

namespace {

int IntegerParameter(const CPdfDictionary* params, const char* key, int fallback) {
    if (params == nullptr) return fallback;
    CPdfElement value;
    params->lookup(key, value);
    return value.isInt() ? value.getInt() : fallback;
}

CPdfStream* makeFilter(CPdfStream* stream, const std::string& name, const CPdfElement& params) {
    if (name != "FlateDecode" && name != "Fl") return nullptr;
    const CPdfDictionary* dict = params.getDict();
    int predictor = IntegerParameter(dict, "Predictor", 1);
    int columns = IntegerParameter(dict, "Columns", 1);
    int colors = IntegerParameter(dict, "Colors", 1);
    int bits = IntegerParameter(dict, "BitsPerComponent", 8);
    if (predictor != 1 && !CPdfPredictor::parametersValid(columns, colors, bits)) return nullptr;
    return new CPdfFlateStream(stream, predictor, columns, colors, bits);
}

}  // namespace

CPdfStream* addFilters(CPdfStream* stream, const CPdfElement& dict) {
    const CPdfDictionary* streamDict = dict.getDict();
    if (streamDict == nullptr) return stream;
    CPdfElement filter;
    streamDict->lookup("Filter", filter);
    if (filter.isNull()) streamDict->lookup("F", filter);
    CPdfElement params;
    streamDict->lookup("DecodeParms", params);
    if (params.isNull()) streamDict->lookup("DP", params);

    if (filter.isName()) return makeFilter(stream, filter.getText(), params);
    if (filter.isArray()) {
        if (filter.getArray()->getLength() != 1) return nullptr;
        CPdfElement only;
        filter.getArray()->get(0, only);
        if (!only.isName()) return nullptr;
        // A one-element filter array usually comes with a one-element array of
        // parameters; ignoring it would decode predicted data as garbage.
        if (params.isArray() && params.getArray()->getLength() == 1) {
            CPdfElement first;
            params.getArray()->get(0, first);
            return makeFilter(stream, only.getText(), first);
        }
        return makeFilter(stream, only.getText(), params);
    }
    if (filter.isNull()) return stream;
    return nullptr;
}
