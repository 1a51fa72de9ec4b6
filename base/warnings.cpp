#include "base/warnings.h"

void Warnings::add(const std::string& line) {
    if (lines_.size() < kShown) {
        lines_.push_back(line);
    } else {
        ++notShown_;
    }
}

std::vector<std::string> Warnings::takeNew() {
    std::vector<std::string> fresh(lines_.begin() + static_cast<std::ptrdiff_t>(taken_),
                                   lines_.end());
    taken_ = lines_.size();
    return fresh;
}
