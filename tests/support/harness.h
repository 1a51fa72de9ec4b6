#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "pdf/object.h"
#include "pdf/parser.h"

// What the tests share: files and folders, runs of the program, and a printed
// form of parsed values that tables can compare against.
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

std::string ReadFile(const std::string& path);  // throws when it cannot be read
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// How many warnings "qpdf --check" gives for the file: -1 when it fails or has
// to rebuild the cross-reference table, 0 when qpdf is not installed.
int QpdfWarnings(const std::string& path);

// One run of the program's entry point in this process, from inside a folder
// when one is given: its exit status and what it printed after the banner.
struct RunResult {
    int status;
    std::string out;
};
RunResult RunProgram(const std::vector<std::string>& arguments, const std::string& folder = "");

// Bytes to read as a file, held in memory.
std::shared_ptr<pdf::ByteSource> Source(const std::string& bytes);

// What a job wrote into a PDF, as text to read and compare: a digest of the
// whole file, every object whose text differs from the input's object of its
// number (or that the input lacks), and the cross-reference and trailer.
// Bytes outside printable ASCII are written \xHH.
std::string PdfAsText(const std::string& output, const std::string& input);

// The bytes a text of test cases stands for: \\ \n \r \t and \xHH as the
// bytes they name, \e as nothing.
std::string Unescaped(const std::string& text);

// The objects of the bytes, parsed without a cross-reference table.
std::vector<pdf::Object> ParseAll(const std::string& bytes);
// A value in PDF-like text: 1 2.5 (s\x00) /N [..] <</K v>> 3 0 R null, with
// {kw} for keywords, "error", "eof", and "stream <<...>> at N, L bytes".
std::string Describe(const pdf::Object& object);

}  // namespace fixture
