#include "app/job_report.h"

void JobReport::names(const std::string& piece) {
    write(piece);
    namesOpen_ = true;
}

void JobReport::message(const std::string& text) {
    endNames();
    const size_t first = text.find_first_not_of("\r\n");
    if (first == std::string::npos) return;
    write(text.substr(first, text.find_last_not_of("\r\n") - first + 1) + "\n");
}

void JobReport::done() {
    endNames();
    write("\nDone.\n");
}

void JobReport::write(const std::string& bytes) {
    if (live_ != nullptr) {
        std::fwrite(bytes.data(), 1, bytes.size(), live_);
    } else {
        text_ += bytes;
    }
}

void JobReport::endNames() {
    if (namesOpen_) write("\n");
    namesOpen_ = false;
}
