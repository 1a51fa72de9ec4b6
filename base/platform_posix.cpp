#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <random>
#include <thread>

#include "base/platform.h"
#include "base/platform_detail.h"

namespace platform {

std::FILE* OpenFile(const std::string& path, const char* mode) {
    std::FILE* file = std::fopen(path.c_str(), mode);
    // A folder opens for reading here, and would read as an empty file.
    struct stat status {};
    if (file != nullptr && (::fstat(::fileno(file), &status) != 0 || S_ISDIR(status.st_mode))) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

bool RemoveFile(const std::string& path) {
    return std::remove(path.c_str()) == 0;
}

std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

OutputSession::OutputSession() = default;
OutputSession::~OutputSession() = default;

int ExitStatus(int systemResult) {
    return WIFEXITED(systemResult) ? WEXITSTATUS(systemResult) : -1;
}

std::string ErrorText(int error) {
    char buffer[256] = "";
    // The GNU form returns the text, which need not be in the buffer.
    return ::strerror_r(error, buffer, sizeof buffer);
}

bool Seek(std::FILE* file, int64_t offset, int whence) {
    return ::fseeko(file, static_cast<off_t>(offset), whence) == 0;
}

int64_t Tell(std::FILE* file) {
    return static_cast<int64_t>(::ftello(file));
}

FileStatus StatusOf(const std::string& path) {
    FileStatus result;
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        result.problem = ErrorText(errno);
        return result;
    }
    result.folder = S_ISDIR(status.st_mode);
    result.volume = static_cast<uint64_t>(status.st_dev);
    result.index = static_cast<uint64_t>(status.st_ino);
    return result;
}

std::string NameKey(const std::string& name) {
    return name;
}

std::vector<std::string> LocalTextReadings(const std::string& bytes) {
    return {bytes};
}

namespace detail {

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// The name a chain of symbolic links ends in, whether or not that exists; the
// path itself when it is no link. Gives up on a loop, as the system does.
std::string FollowLinks(std::string path, std::string& problem) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
        std::string target(static_cast<size_t>(status.st_size) + 256, '\0');
        const ssize_t size = ::readlink(path.c_str(), target.data(), target.size());
        if (size == -1) break;
        target.resize(static_cast<size_t>(size));
        path = target.rfind('/', 0) == 0 ? target : FolderOf(path) + target;
    }
    problem = ErrorText(ELOOP);
    return path;
}

}  // namespace

OutputKind ClassifyOutput(const std::string& path, std::string& finalPath, std::string& problem) {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) return OutputKind::folder;
        // A device, pipe or socket: /dev/stdout and its like are links that
        // only the system itself can follow, so the name is opened as given.
        if (!S_ISREG(status.st_mode)) return OutputKind::device;
        if (::access(path.c_str(), W_OK) != 0) problem = ErrorText(errno);
        finalPath = FollowLinks(path, problem);
        return OutputKind::regularFile;
    }
    if (errno != ENOENT) {
        problem = ErrorText(errno);
        return OutputKind::nothing;
    }
    // Nothing there yet, or a link to nothing: the link's target is made.
    finalPath = FollowLinks(path, problem);
    return OutputKind::nothing;
}

std::FILE* OpenInPlace(const std::string& path, std::string& problem) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) problem = ErrorText(errno);
    return file;
}

std::FILE* CreatePartFile(const std::string& finalPath, std::string& partPath,
                          std::string& problem) {
    struct stat replaced {};
    const bool replacing = ::stat(finalPath.c_str(), &replaced) == 0;
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    std::uniform_int_distribution<size_t> letter(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = ".folivant-XXXXXX.part";
        for (size_t i = 10; i < 16; ++i) name[i] = kLetters[letter(random)];
        partPath = FolderOf(finalPath) + name;
        // Exclusive creation: never open a file someone else made meanwhile.
        const int fd = ::open(partPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            break;
        }
        if (replacing) {
            // The owner and group first (which clears set-id bits), then the
            // permissions; a set-id bit is kept only for the owner it was set for.
            mode_t mode = replaced.st_mode & 07777;
            if (::fchown(fd, replaced.st_uid, replaced.st_gid) != 0) {
                mode &= ~static_cast<mode_t>(S_ISUID | S_ISGID);
            }
            if (::fchmod(fd, mode) != 0) {
                problem = ErrorText(errno);
                ::close(fd);
                ::unlink(partPath.c_str());
                partPath.clear();
                return nullptr;
            }
        }
        std::FILE* file = ::fdopen(fd, "wb");
        if (file != nullptr) return file;
        ::close(fd);
        ::unlink(partPath.c_str());
        errno = ENOMEM;
        break;
    }
    problem = ErrorText(errno);
    partPath.clear();
    return nullptr;
}

bool FlushToDisk(std::FILE* file, bool inPlace, std::string& problem) {
    if (::fsync(::fileno(file)) == 0 || (inPlace && (errno == EINVAL || errno == EROFS))) {
        return true;
    }
    problem = ErrorText(errno);
    return false;
}

void StartWritebackOf(std::FILE* file) {
#if defined(__linux__)
    // A hint alone: the final fsync still checks that everything got there.
    ::sync_file_range(::fileno(file), 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    static_cast<void>(file);
#endif
}

bool ReplaceFile(const std::string& from, const std::string& to, std::string& problem) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    problem = ErrorText(errno);
    return false;
}

}  // namespace detail

void RemovePartFilesOnInterrupt() {
    // A write past the size limit then fails with EFBIG, reported as a write error.
    std::signal(SIGXFSZ, SIG_IGN);
    // The interruptions wait for a thread of their own, where removing files
    // and taking a lock are safe; every thread made later inherits the mask.
    sigset_t interruptions;
    sigemptyset(&interruptions);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&interruptions, signal);
    if (pthread_sigmask(SIG_BLOCK, &interruptions, nullptr) != 0) return;
    std::thread([interruptions] {
        int signal = 0;
        if (sigwait(&interruptions, &signal) != 0) return;
        detail::RemovePartFilesForGood();
        // Ends the process as the interruption would have: the usual status.
        std::signal(signal, SIG_DFL);
        pthread_sigmask(SIG_UNBLOCK, &interruptions, nullptr);
        ::raise(signal);
    }).detach();
}

}  // namespace platform
