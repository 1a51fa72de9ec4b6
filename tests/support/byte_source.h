#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "pdf/element.h"
#include "pdf/stream.h"

namespace fixture {

// Bytes held in an anonymous temporary file, so that the reader's file
// streams can run over them.
class ByteFile {
public:
    explicit ByteFile(const std::string& bytes);
    ByteFile(const ByteFile&) = delete;
    ByteFile& operator=(const ByteFile&) = delete;
    ~ByteFile();

    std::FILE* get() const { return file_; }
    // A new file stream over the bytes (one count, owned by the caller).
    CPdfFileStream* stream(uint32_t start = 0, uint32_t length = 0) const;

private:
    std::FILE* file_;
};

// The first object of the bytes, parsed without a cross-reference table.
CPdfElement ParseOne(const std::string& bytes);
// Every object of the bytes up to the end of the input.
std::vector<CPdfElement> ParseAll(const std::string& bytes);
// All bytes a stream gives until its end.
std::string ReadAll(CPdfStream& stream);

}  // namespace fixture
