#include "pdf/file_reader.h"

#include <algorithm>
#include <cstring>

#include "base/platform.h"

namespace pdf {

std::shared_ptr<FileReader> FileReader::Open(const std::string& path) {
    std::FILE* file = platform::OpenFile(path, "rb");
    if (file == nullptr) return nullptr;
    return std::shared_ptr<FileReader>(new FileReader(file));
}

FileReader::~FileReader() {
    if (file_ != nullptr) std::fclose(file_);
}

FileReader::FileReader(std::FILE* file) : file_(file), blocks_(kBlockCount) {
    if (file_ != nullptr && platform::Seek(file_, 0, SEEK_END)) {
        const int64_t end = platform::Tell(file_);
        size_ = end < 0 ? 0 : static_cast<uint64_t>(end);
    }
}

size_t FileReader::readDirect(uint64_t offset, void* out, size_t count) {
    if (file_ == nullptr || !platform::Seek(file_, static_cast<int64_t>(offset), SEEK_SET)) {
        return 0;
    }
    return std::fread(out, 1, count, file_);
}

const FileReader::Block* FileReader::blockAt(uint64_t offset) {
    const uint64_t start = offset - offset % kBlockSize;
    Block* oldest = &blocks_.front();
    for (Block& block : blocks_) {
        if (block.start == start) {
            block.lastUse = ++clock_;
            return &block;
        }
        if (block.lastUse < oldest->lastUse) oldest = &block;
    }
    oldest->bytes.resize(kBlockSize);
    oldest->bytes.resize(readDirect(start, oldest->bytes.data(), kBlockSize));
    oldest->start = start;
    oldest->lastUse = ++clock_;
    return oldest;
}

size_t FileReader::read(uint64_t offset, void* out, size_t count) {
    if (offset >= size_) return 0;
    count = static_cast<size_t>(std::min<uint64_t>(count, size_ - offset));
    // Large reads (stream data being copied) pass the cache by.
    if (count > kBlockSize) return readDirect(offset, out, count);
    auto* target = static_cast<unsigned char*>(out);
    size_t done = 0;
    while (done < count) {
        const uint64_t at = offset + done;
        const Block* block = blockAt(at);
        const auto within = static_cast<size_t>(at - block->start);
        if (within >= block->bytes.size()) break;  // the file ended early
        const size_t take = std::min(count - done, block->bytes.size() - within);
        std::memcpy(target + done, block->bytes.data() + within, take);
        done += take;
    }
    return done;
}

}  // namespace pdf
