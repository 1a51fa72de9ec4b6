// The parts of the platform seam that are the same everywhere, built on the
// parts that are not.
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <set>
#include <shared_mutex>

#include "base/platform.h"
#include "base/platform_detail.h"

namespace platform {

namespace {

// The part files being written, for removal when the process is interrupted.
// An interruption reaches the whole process, so this is the one record the
// process keeps for all its jobs; it is never destroyed, as an interruption
// may come while the process is ending.
class PartFiles {
public:
    static PartFiles& OfProcess() {
        static PartFiles* const files = new PartFiles;
        return *files;
    }
    // Held, shared, while part files are made or take their names, so that
    // an interruption, which takes it whole, never leaves one it did not
    // know of; jobs on several threads make theirs side by side.
    std::shared_mutex changing;
    void add(const std::string& path) {
        const std::lock_guard<std::mutex> lock(mutex_);
        paths_.insert(path);
    }
    void forget(const std::string& path) {
        const std::lock_guard<std::mutex> lock(mutex_);
        paths_.erase(path);
    }
    // Once `changing` is held whole.
    void removeAll() {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (const std::string& path : paths_) RemoveFile(path);
    }

private:
    std::mutex mutex_;
    std::set<std::string> paths_;
};

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::FILE* file = OpenFile(path, "rb");
    if (file == nullptr) return std::nullopt;
    std::string bytes;
    // Sized once where the size is known, so a large file is not held twice
    // over while the string grows.
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        if (size > 0) bytes.reserve(static_cast<size_t>(size));
        std::rewind(file);
    }
    char buffer[1 << 16];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        bytes.append(buffer, got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return std::nullopt;
    return bytes;
}

std::string MakeFolder(const std::string& path) {
    std::error_code failure;
    std::filesystem::create_directories(std::filesystem::u8path(path), failure);
    if (!failure) return "";
    // An existing file of that name is not a folder.
    return failure == std::errc::file_exists ? ErrorText(ENOTDIR) : ErrorText(failure.value());
}

bool SameFile(const std::string& a, const std::string& b) {
    return !a.empty() && !b.empty() && StatusOf(a).isSameFile(StatusOf(b));
}

bool CreateOutput(const std::string& path, OutputTarget& target, std::string& problem) {
    target = OutputTarget();
    if (path.empty()) {
        problem = ErrorText(ENOENT);
        return false;
    }
    const detail::OutputKind kind = detail::ClassifyOutput(path, target.finalPath, problem);
    if (kind == detail::OutputKind::folder) {
        if (problem.empty()) problem = ErrorText(EISDIR);
        return false;
    }
    if (kind == detail::OutputKind::device) {
        target.file = detail::OpenInPlace(path, problem);
        return target.file != nullptr;
    }
    if (!problem.empty()) return false;
    PartFiles& parts = PartFiles::OfProcess();
    const std::shared_lock<std::shared_mutex> lock(parts.changing);
    target.file = detail::CreatePartFile(target.finalPath, target.partPath, problem);
    if (target.file == nullptr) return false;
    parts.add(target.partPath);
    return true;
}

bool FinishOutput(OutputTarget& target, std::string& problem) {
    if (target.file == nullptr) return false;
    const bool inPlace = target.partPath.empty();
    errno = 0;
    bool written = std::fflush(target.file) == 0 && std::ferror(target.file) == 0;
    if (!written) {
        // A write that failed earlier tells its reason again when tried again;
        // with nothing left to write, one byte more in a part file that is about
        // to go brings it back.
        if (errno == 0 && !inPlace) {
            std::fputc(0, target.file);
            std::fflush(target.file);
        }
        problem = ErrorText(errno != 0 ? errno : EIO);
    }
    written = written && detail::FlushToDisk(target.file, inPlace, problem);
    if (std::fclose(target.file) != 0 && written) {
        problem = ErrorText(errno != 0 ? errno : EIO);
        written = false;
    }
    target.file = nullptr;
    if (inPlace) return written;
    PartFiles& parts = PartFiles::OfProcess();
    const std::shared_lock<std::shared_mutex> lock(parts.changing);
    written = written && detail::ReplaceFile(target.partPath, target.finalPath, problem);
    if (!written) RemoveFile(target.partPath);
    parts.forget(target.partPath);
    target.partPath.clear();
    return written;
}

void AbandonOutput(OutputTarget& target) {
    if (target.file != nullptr) std::fclose(target.file);
    target.file = nullptr;
    if (target.partPath.empty()) return;
    PartFiles& parts = PartFiles::OfProcess();
    const std::shared_lock<std::shared_mutex> lock(parts.changing);
    RemoveFile(target.partPath);
    parts.forget(target.partPath);
    target.partPath.clear();
}

void StartWriteback(std::FILE* file) {
    if (std::fflush(file) == 0) detail::StartWritebackOf(file);
}

namespace detail {

void RemovePartFilesForGood() {
    PartFiles& parts = PartFiles::OfProcess();
    // Never unlocked: no job makes or renames a part file after this.
    parts.changing.lock();
    parts.removeAll();
}

}  // namespace detail

}  // namespace platform
