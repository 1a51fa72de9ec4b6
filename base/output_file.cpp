#include "base/output_file.h"

bool OutputFile::create(const std::string& finalPath) {
    discard();
    problem_.clear();
    sinceWriteback_ = 0;
    return platform::CreateOutput(finalPath, target_, problem_);
}

void OutputFile::wrote(size_t bytes) {
    sinceWriteback_ += bytes;
    if (sinceWriteback_ < kWritebackStep || target_.file == nullptr) return;
    sinceWriteback_ = 0;
    platform::StartWriteback(target_.file);
}

bool OutputFile::commit() {
    return platform::FinishOutput(target_, problem_);
}

void OutputFile::discard() {
    platform::AbandonOutput(target_);
}
