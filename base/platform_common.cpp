// The parts of the platform seam that are the same everywhere, built on the
// parts that are not.
#include <filesystem>

#include "base/platform.h"

namespace platform {

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::FILE* file = OpenFile(path, "rb");
    if (file == nullptr) return std::nullopt;
    std::string bytes;
    char buffer[1 << 16];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        bytes.append(buffer, got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return std::nullopt;
    return bytes;
}

void MakeFolder(const std::string& path) {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::u8path(path), ignored);
}

}  // namespace platform
