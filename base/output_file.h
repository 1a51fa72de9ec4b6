#pragma once

#include <cstdio>
#include <string>

#include "base/platform.h"

// A file written whole or not at all: the data goes to a part file beside the
// final name, and only a complete, flushed file takes that name, with the
// permissions of the file it replaces. Until then an existing file of that
// name stays exactly as it was; a file that is never committed is removed.
// A device or pipe named as output is written as it stands.
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() { discard(); }

    // False when no file can be made for the final name; problem() says why.
    bool create(const std::string& finalPath);
    std::FILE* get() const { return target_.file; }
    // Told of every piece written to get(): every few megabytes the system
    // is asked to start writing them to the disk, so that commit waits less.
    void wrote(size_t bytes);
    // Checks every write, flushes to disk and gives the file its final name;
    // false, with problem() saying why, when the data did not all get there.
    bool commit();
    void discard();
    // The system's reason for the last failure.
    const std::string& problem() const { return problem_; }

private:
    static constexpr size_t kWritebackStep = 1 << 20;

    platform::OutputTarget target_;
    std::string problem_;
    size_t sinceWriteback_ = 0;
};
