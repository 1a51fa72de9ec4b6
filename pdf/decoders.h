#pragma once

#include <optional>
#include <string>

#include "pdf/stream.h"

// The data decoded by one of the filters other than FlateDecode; nothing for
// a filter this reader does not know or data it cannot decode.
std::optional<std::string> DecodeInMemory(const std::string& name, const std::string& data,
                                          const CPdfDictionary* params);
