#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The warnings of one job, in the order they arise: every layer that finds
// something the user should hear of adds a line here, and the application
// prints them. Past kShown lines only a count is kept, so that a badly
// damaged file cannot bury the job's other messages.
class Warnings {
public:
    static constexpr size_t kShown = 20;

    void add(const std::string& line);
    // The lines added since the last call, to print.
    std::vector<std::string> takeNew();
    // Every line kept, and how many were counted but not kept.
    const std::vector<std::string>& lines() const { return lines_; }
    size_t notShown() const { return notShown_; }

private:
    std::vector<std::string> lines_;
    size_t taken_ = 0;
    size_t notShown_ = 0;
};
