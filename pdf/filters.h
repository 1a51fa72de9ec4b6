#pragma once

#include <functional>
#include <optional>
#include <string>

#include "pdf/object.h"

namespace pdf {

using Resolve = std::function<Object(const Object&)>;

// The decoded data of a stream: FlateDecode with its PNG and TIFF predictors,
// ASCIIHexDecode, ASCII85Decode, LZWDecode and RunLengthDecode, alone or
// chained. Nothing when a filter is of another kind or its parameters cannot
// be handled, or its data cannot be decoded. Flate data that breaks off ends
// where inflate gives up.
std::optional<std::string> DecodeStreamData(std::string data, const Dictionary& dict,
                                            const Resolve& resolve);

// Data compressed for a FlateDecode stream, in zlib's format at its default
// level: the same data always gives the same bytes.
std::string FlateEncode(const std::string& data);

// Whether every filter the stream dictionary names is one this reader decodes,
// with parameters it can handle (the data itself is not looked at).
bool FiltersKnown(const Dictionary& dict, const Resolve& resolve);

// Decoded data beyond this many bytes is dropped: no stream the tool needs
// comes near it, and it keeps a small compressed bomb harmless.
inline constexpr size_t kMaxDecodedBytes = size_t{256} << 20;
// Predictor rows longer than this are refused.
inline constexpr int64_t kMaxRowBytes = int64_t{1} << 24;

}  // namespace pdf
