// Windows: names go to the wide (UTF-16) calls, files are binary, and a
// finished file replaces an old one through MoveFileEx.
// windows.h comes first: the other Windows headers build on it.
#include <windows.h>
// (a separate block, so that sorting keeps the order)
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <shellapi.h>
#include <sys/stat.h>

#include <random>

#include "base/platform.h"

// windows.h names its own ReplaceFile (a macro for ReplaceFileW).
#undef ReplaceFile

namespace platform {

namespace {

std::wstring Wide(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string Narrow(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return std::string();
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), size, nullptr, nullptr);
    narrow.pop_back();  // the terminating zero
    return narrow;
}

// The volume and index that identify an open file.
bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE handle =
        CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool found = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    return found;
}

}  // namespace

std::FILE* OpenFile(const std::string& path, const char* mode) {
    std::wstring wideMode = Wide(mode);
    if (wideMode.find(L'b') == std::wstring::npos) wideMode += L'b';
    return _wfopen(Wide(path).c_str(), wideMode.c_str());
}

bool RemoveFile(const std::string& path) {
    return _wremove(Wide(path).c_str()) == 0;
}

std::vector<std::string> Arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr || count != argc) {
        if (wide != nullptr) LocalFree(wide);
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(Narrow(wide[i]));
    LocalFree(wide);
    return arguments;
}

void PrepareOutput() {
    _setmode(_fileno(stdout), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
}

int ExitStatus(int systemResult) {
    return systemResult;
}

bool Seek(std::FILE* file, int64_t offset, int whence) {
    return _fseeki64(file, offset, whence) == 0;
}

int64_t Tell(std::FILE* file) {
    return _ftelli64(file);
}

bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    return !a.empty() && !b.empty() && FileIdentity(a, first) && FileIdentity(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

std::FILE* CreateFileBeside(const std::string& path, std::string& tempPath) {
    const size_t slash = path.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = folder + "." + name + "." + std::to_string(random() % 1000000) + ".part";
        // Exclusive creation: never open a file someone else made meanwhile.
        int fd = -1;
        const errno_t failure =
            _wsopen_s(&fd, Wide(tempPath).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                      _SH_DENYNO, _S_IREAD | _S_IWRITE);
        if (failure == 0 && fd >= 0) {
            std::FILE* file = _fdopen(fd, "wb");
            if (file == nullptr) {
                _close(fd);
                _wremove(Wide(tempPath).c_str());
            }
            return file;
        }
        if (failure != EEXIST) break;
    }
    tempPath.clear();
    return nullptr;
}

bool FlushToDisk(std::FILE* file) {
    return std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool MayReplace(const std::string& path) {
    const std::wstring wide = Wide(path);
    return _waccess(wide.c_str(), 0) != 0 || _waccess(wide.c_str(), 2) == 0;
}

}  // namespace platform
