#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "pdf/parser.h"

namespace pdf {

// Reads a file at any 64-bit position. A reader jumps between objects all over
// the file, and most reads are a few hundred bytes: those are served from a
// few cached blocks instead of a seek and a read of the file each. Owns the
// file it reads, and closes it when it goes.
class FileReader : public ByteSource {
public:
    // Null when the file cannot be opened (or is a folder).
    static std::shared_ptr<FileReader> Open(const std::string& path);
    ~FileReader() override;
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    uint64_t size() const override { return size_; }
    // Copies up to count bytes from offset into out; fewer at the end of the
    // file or when the file cannot be read. Returns how many were copied.
    size_t read(uint64_t offset, void* out, size_t count) override;

    static constexpr size_t kBlockSize = 64 << 10;
    static constexpr size_t kBlockCount = 8;

private:
    explicit FileReader(std::FILE* file);

    struct Block {
        uint64_t start = UINT64_MAX;
        uint64_t lastUse = 0;
        std::vector<unsigned char> bytes;
    };

    const Block* blockAt(uint64_t offset);
    size_t readDirect(uint64_t offset, void* out, size_t count);

    std::FILE* file_;
    uint64_t size_ = 0;
    uint64_t clock_ = 0;
    std::vector<Block> blocks_;
};

}  // namespace pdf
