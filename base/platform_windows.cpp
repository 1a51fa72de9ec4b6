// Windows: names go to the wide (UTF-16) calls, files are binary, a finished
// file replaces an old one through ReplaceFileW (which keeps its attributes
// and access rights), and names differing only in letter case are one file.
// windows.h comes first: the other Windows headers build on it.
#include <windows.h>
// (a separate block, so that sorting keeps the order)
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <shellapi.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "base/platform.h"
#include "base/platform_detail.h"

// windows.h names its own ReplaceFile (a macro for ReplaceFileW).
#undef ReplaceFile

namespace platform {

namespace {

std::wstring Wide(const std::string& text, UINT codePage = CP_UTF8) {
    if (text.empty()) return std::wstring();
    const int size =
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
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

// The words of a Windows error: the usual ones in the same words as on other
// systems, the rest as Windows gives them.
std::string Win32ErrorText(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
            return ErrorText(ENOENT);
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return ErrorText(EACCES);
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ErrorText(ENOSPC);
        case ERROR_FILENAME_EXCED_RANGE:
            return ErrorText(ENAMETOOLONG);
        case ERROR_INVALID_NAME:
            return ErrorText(EINVAL);
        default:
            break;
    }
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string words = length > 0 ? Narrow(text) : "error " + std::to_string(error);
    if (text != nullptr) LocalFree(text);
    while (!words.empty() && std::strchr(" .\r\n", words.back()) != nullptr) words.pop_back();
    return words;
}

// An existing file or folder, opened for nothing but its information.
class InfoHandle {
public:
    explicit InfoHandle(const std::string& path)
        : handle_(CreateFileW(Wide(path).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)),
          error_(handle_ == INVALID_HANDLE_VALUE ? GetLastError() : 0) {}
    ~InfoHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    InfoHandle(const InfoHandle&) = delete;
    InfoHandle& operator=(const InfoHandle&) = delete;

    HANDLE get() const { return handle_; }
    DWORD error() const { return error_; }

private:
    HANDLE handle_;
    DWORD error_;
};

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
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

OutputSession::OutputSession() : consoleCodePage_(GetConsoleOutputCP()) {
    _setmode(_fileno(stdout), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
}

OutputSession::~OutputSession() {
    std::fflush(stdout);
    // The console keeps its code page after the process: give back the user's.
    if (consoleCodePage_ != 0) SetConsoleOutputCP(consoleCodePage_);
}

int ExitStatus(int systemResult) {
    return systemResult;
}

std::string ErrorText(int error) {
    char buffer[256] = "";
    strerror_s(buffer, sizeof buffer, error);
    return buffer;
}

bool Seek(std::FILE* file, int64_t offset, int whence) {
    return _fseeki64(file, offset, whence) == 0;
}

int64_t Tell(std::FILE* file) {
    return _ftelli64(file);
}

FileStatus StatusOf(const std::string& path) {
    FileStatus result;
    const InfoHandle handle(path);
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle.get() == INVALID_HANDLE_VALUE) {
        result.problem = Win32ErrorText(handle.error());
    } else if (GetFileInformationByHandle(handle.get(), &info) == 0) {
        result.problem = Win32ErrorText(GetLastError());
    } else {
        result.folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        result.volume = info.dwVolumeSerialNumber;
        result.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
    return result;
}

std::string NameKey(const std::string& name) {
    std::wstring wide = Wide(name);
    if (!wide.empty()) CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    return Narrow(wide.c_str());
}

std::vector<std::string> LocalTextReadings(const std::string& bytes) {
    // The console's input code page: the output one is set to UTF-8 while the
    // tool runs, and the two are the same unless a user set them apart.
    std::vector<std::string> readings;
    for (const UINT codePage : {GetConsoleCP(), GetACP()}) {
        if (codePage == 0 || codePage == CP_UTF8) continue;
        std::string reading = Narrow(Wide(bytes, codePage).c_str());
        if (readings.empty() || readings.front() != reading) readings.push_back(reading);
    }
    if (readings.empty()) readings.push_back(bytes);
    return readings;
}

namespace detail {

OutputKind ClassifyOutput(const std::string& path, std::string& finalPath, std::string& problem) {
    finalPath = path;
    const InfoHandle handle(path);
    if (handle.get() == INVALID_HANDLE_VALUE) {
        const DWORD error = handle.error();
        if (error != ERROR_FILE_NOT_FOUND) problem = Win32ErrorText(error);
        return OutputKind::nothing;
    }
    // NUL, CON and pipes are written as they stand.
    if (GetFileType(handle.get()) != FILE_TYPE_DISK) return OutputKind::device;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(handle.get(), &info) == 0) {
        problem = Win32ErrorText(GetLastError());
        return OutputKind::nothing;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return OutputKind::folder;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) problem = ErrorText(EACCES);
    // A symbolic link: the file it names is the one replaced.
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        std::wstring target(32768, L'\0');
        const DWORD size = GetFinalPathNameByHandleW(handle.get(), target.data(),
                                                     static_cast<DWORD>(target.size()), 0);
        if (size > 0 && size < target.size()) finalPath = Narrow(target.c_str());
    }
    return OutputKind::regularFile;
}

std::FILE* OpenInPlace(const std::string& path, std::string& problem) {
    std::FILE* file = _wfopen(Wide(path).c_str(), L"wb");
    if (file == nullptr) problem = ErrorText(errno);
    return file;
}

std::FILE* CreatePartFile(const std::string& finalPath, std::string& partPath,
                          std::string& problem) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::uniform_int_distribution<size_t> letter(0, sizeof kLetters - 2);
    errno_t failure = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = ".folivant-XXXXXX.part";
        for (size_t i = 10; i < 16; ++i) name[i] = kLetters[letter(random)];
        partPath = FolderOf(finalPath) + name;
        // Exclusive creation: never open a file someone else made meanwhile.
        int fd = -1;
        failure = _wsopen_s(&fd, Wide(partPath).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                            _SH_DENYNO, _S_IREAD | _S_IWRITE);
        if (failure == EEXIST) continue;
        if (failure != 0 || fd < 0) break;
        std::FILE* file = _fdopen(fd, "wb");
        if (file != nullptr) return file;
        _close(fd);
        _wremove(Wide(partPath).c_str());
        failure = ENOMEM;
        break;
    }
    problem = ErrorText(failure != 0 ? failure : EIO);
    partPath.clear();
    return nullptr;
}

bool FlushToDisk(std::FILE* file, bool inPlace, std::string& problem) {
    if (_commit(_fileno(file)) == 0 || inPlace) return true;
    problem = ErrorText(errno);
    return false;
}

bool ReplaceFile(const std::string& from, const std::string& to, std::string& problem) {
    const std::wstring source = Wide(from);
    const std::wstring target = Wide(to);
    // ReplaceFileW carries the old file's attributes and access rights over;
    // a name with nothing there yet takes the new file as it is.
    if (ReplaceFileW(target.c_str(), source.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                     nullptr, nullptr) != 0 ||
        MoveFileExW(source.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
        return true;
    }
    problem = Win32ErrorText(GetLastError());
    return false;
}

void StartWritebackOf(std::FILE* /*file*/) {
    // Windows has no request to start writing without waiting; the final
    // flush does it all.
}

}  // namespace detail

namespace {

BOOL WINAPI OnConsoleControl(DWORD) {
    detail::RemovePartFilesForGood();
    return FALSE;  // the default handling then ends the process
}

}  // namespace

void RemovePartFilesOnInterrupt() {
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

}  // namespace platform
