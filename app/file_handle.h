#pragma once

#include <cstdio>
#include <string>

#include "base/platform.h"

// A buffered file that closes itself when it goes.
class FileHandle {
public:
    FileHandle() = default;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { close(); }

    bool open(const std::string& path, const char* mode) {
        close();
        file_ = platform::OpenFile(path, mode);
        return file_ != nullptr;
    }
    // Returns false when the data could not be written out.
    bool close() {
        std::FILE* file = file_;
        file_ = nullptr;
        return file == nullptr || std::fclose(file) == 0;
    }
    std::FILE* get() const { return file_; }
    bool isOpen() const { return file_ != nullptr; }

private:
    std::FILE* file_ = nullptr;
};
