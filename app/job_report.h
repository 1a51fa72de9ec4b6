#pragma once

#include <cstdio>
#include <string>

// What one job prints: the line naming its files, given in pieces as the job
// opens them, then its messages, each on a line of its own. A report with a
// live stream prints at once; one without keeps the text, so that a list run
// on several workers can print each entry's text whole and in list order.
class JobReport {
public:
    explicit JobReport(std::FILE* live = nullptr) : live_(live) {}
    JobReport(const JobReport&) = delete;
    JobReport& operator=(const JobReport&) = delete;

    // A piece of the line naming the job's files.
    void names(const std::string& piece);
    // A message on a line of its own: the line naming the files is ended
    // first, and the line ends the message text brings are its own.
    void message(const std::string& text);
    // The closing words of a job that succeeded.
    void done();

    const std::string& text() const { return text_; }

private:
    void write(const std::string& bytes);
    void endNames();

    std::FILE* live_;
    std::string text_;
    bool namesOpen_ = false;
};
