#include "support/test_files.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace {

struct PipeCloser {
    int* status;
    void operator()(FILE* pipe) const { *status = pclose(pipe); }
};

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs a shell command; returns its exit code (-1 when it did not exit normally) and fills
// output with what it printed on stdout and stderr.
int runCommand(const std::string& command, std::string& output) {
    int status = -1;
    {
        std::unique_ptr<FILE, PipeCloser> pipe(popen((command + " 2>&1").c_str(), "r"),
                                               PipeCloser{&status});
        if (!pipe) throw std::runtime_error("cannot run " + command);
        char buffer[4096];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0)
            output.append(buffer, got);
    }
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool mentionsRebuiltXref(const std::string& output) {
    return output.find("damaged") != std::string::npos ||
           output.find("reconstruct") != std::string::npos;
}

}  // namespace

TempDir::TempDir() {
    std::string pattern = "/tmp/folivant-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temp folder");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;  // a destructor must not throw; a leftover folder in /tmp is harmless
    std::filesystem::remove_all(path_, ignored);
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + path);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    if (file.bad()) throw std::runtime_error("cannot read " + path);
    return bytes.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) throw std::runtime_error("cannot write " + path);
}

bool fileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

bool qpdfAvailable() {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path == nullptr ? "" : path);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::string candidate = (folder.empty() ? "." : folder) + "/qpdf";
        if (access(candidate.c_str(), X_OK) == 0) return true;
    }
    return false;
}

std::optional<std::string> qpdfCheck(const std::string& path) {
    if (!qpdfAvailable()) return std::nullopt;
    std::string output;
    const int exitCode = runCommand("qpdf --check " + shellQuoted(path), output);
    if (exitCode == 0 || (exitCode == 3 && !mentionsRebuiltXref(output))) return std::nullopt;
    return "qpdf exit code " + std::to_string(exitCode) + ":\n" + output;
}
