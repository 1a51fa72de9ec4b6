#pragma once

#include <optional>
#include <string>

// A fresh folder under /tmp, removed with everything in it when the object goes.
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

// The whole file, byte for byte; throws std::runtime_error when it cannot be read.
std::string readFile(const std::string& path);
// Creates or replaces the file; throws std::runtime_error when it cannot be written.
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

// Whether a qpdf executable is on PATH, so that tests relying on it can skip without it.
bool qpdfAvailable();
// Runs "qpdf --check" on the file: std::nullopt when qpdf accepts it (warnings are fine unless
// qpdf had to rebuild the cross-reference table, which means the offsets are wrong), otherwise
// qpdf's output. Also std::nullopt when qpdf is not installed.
std::optional<std::string> qpdfCheck(const std::string& path);
