#include "base/output_file.h"

#include "base/platform.h"

bool OutputFile::create(const std::string& finalPath) {
    discard();
    if (!platform::MayReplace(finalPath)) return false;
    finalPath_ = finalPath;
    file_ = platform::CreateFileBeside(finalPath, tempPath_);
    return file_ != nullptr;
}

bool OutputFile::commit() {
    if (file_ == nullptr) return false;
    bool written = std::ferror(file_) == 0 && platform::FlushToDisk(file_);
    written = std::fclose(file_) == 0 && written;
    file_ = nullptr;
    if (written && platform::ReplaceFile(tempPath_, finalPath_)) {
        tempPath_.clear();
        return true;
    }
    discard();
    return false;
}

void OutputFile::discard() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    if (!tempPath_.empty()) platform::RemoveFile(tempPath_);
    tempPath_.clear();
}
