#include "base/output_file.h"

bool OutputFile::create(const std::string& finalPath) {
    discard();
    problem_.clear();
    return platform::CreateOutput(finalPath, target_, problem_);
}

bool OutputFile::commit() {
    return platform::FinishOutput(target_, problem_);
}

void OutputFile::discard() {
    platform::AbandonOutput(target_);
}
