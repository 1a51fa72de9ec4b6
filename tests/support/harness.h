#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "pdf/element.h"
#include "pdf/stream.h"

// What the tests share: files and folders, runs of the program, and a
// printed form of parsed values that tables can compare against.
namespace fixture {

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The whole file; throws std::runtime_error when it cannot be read.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// "qpdf --check" of the file: its complaint, or nothing when it accepts the
// file (or is not installed). Warnings pass unless qpdf had to rebuild the
// cross-reference table.
std::optional<std::string> QpdfCheck(const std::string& path);

// One run of the program's entry point in this process: what it printed
// (the banner left out) and its exit status.
struct RunResult {
    int status;
    std::string out;
};
RunResult RunProgram(const std::vector<std::string>& arguments);
// The same from inside a folder, as list entries name files relative to it.
RunResult RunInside(const std::string& folder, const std::vector<std::string>& arguments);
extern const char* const kBanner;

// Bytes held in an anonymous temporary file, for the reader's file streams.
class ByteFile {
public:
    explicit ByteFile(const std::string& bytes);
    ByteFile(const ByteFile&) = delete;
    ByteFile& operator=(const ByteFile&) = delete;
    ~ByteFile();
    // A new file stream over the bytes (one count, owned by the caller).
    CPdfFileStream* stream(uint32_t start = 0, uint32_t length = 0) const;

private:
    std::FILE* file_;
};

// Every object of the bytes, parsed without a cross-reference table.
std::vector<CPdfElement> ParseAll(const std::string& bytes);
CPdfElement ParseOne(const std::string& bytes);
// All bytes a stream gives until its end.
std::string ReadAll(CPdfStream& stream);
// A value in PDF-like text: 1 2.5 (s\x00) /N [..] <</K v>> 3 0 R null, with
// {kw} for keywords, "error", "eof" and "stream<<...>>".
std::string Describe(const CPdfElement& element);

}  // namespace fixture
