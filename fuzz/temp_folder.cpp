#include "temp_folder.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

const std::string& TempFolder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/folivant-fuzz-XXXXXX";
        return std::string(::mkdtemp(pattern) ? pattern : "/tmp");
    }();
    return folder;
}

std::string WriteTemp(const std::string& name, const uint8_t* data, size_t size) {
    const std::string path = TempFolder() + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    return path;
}
