#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

// Reads a file at any 64-bit position. A reader jumps between objects all over
// the file, and most reads are a few hundred bytes: those are served from a
// few cached blocks instead of a seek and a read of the file each.
class FileReader {
public:
    // The file stays the caller's; it must outlive the reader.
    explicit FileReader(std::FILE* file);
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    uint64_t size() const { return size_; }
    // Copies up to count bytes from offset into out; fewer at the end of the
    // file or when the file cannot be read. Returns how many were copied.
    size_t read(uint64_t offset, void* out, size_t count);

    static constexpr size_t kBlockSize = 64 << 10;
    static constexpr size_t kBlockCount = 8;

private:
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
