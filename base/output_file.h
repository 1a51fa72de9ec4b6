#pragma once

#include <cstdio>
#include <string>

// A file written whole or not at all: the data goes to a new file beside the
// final name, and only a complete, flushed file takes that name. Until then
// an existing file of that name stays exactly as it was; a file that is never
// committed is removed.
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() { discard(); }

    // False when no file can be made for the final name.
    bool create(const std::string& finalPath);
    std::FILE* get() const { return file_; }
    // Checks every write, flushes to disk and gives the file its final name.
    bool commit();
    void discard();

private:
    std::FILE* file_ = nullptr;
    std::string finalPath_;
    std::string tempPath_;
};
