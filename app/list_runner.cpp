#include "app/list_runner.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

// One at a time, each entry printing as it goes.
int RunInTurn(const std::vector<JobSpec>& jobs) {
    for (const JobSpec& job : jobs) {
        JobReport report(stdout);
        const bool succeeded = RunJob(job, report);
        std::fflush(stdout);
        if (!succeeded) return 1;
    }
    return 0;
}

// The entries shared by the workers and the printing thread.
class Batch {
public:
    explicit Batch(const std::vector<JobSpec>& jobs) : jobs_(jobs), results_(jobs.size()) {}

    // A worker: takes entries in list order until there are none or one failed.
    void work() {
        for (size_t entry; take(entry);) {
            JobReport report;
            const bool succeeded = RunJob(jobs_[entry], report);
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                results_[entry] = {report.text(), succeeded, true};
                stopped_ = stopped_ || !succeeded;
            }
            changed_.notify_all();
        }
    }

    // Prints every entry that ran, in list order, as soon as it has ended.
    int print() {
        int status = 0;
        for (size_t entry = 0; entry < results_.size(); ++entry) {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return results_[entry].ended || neverRuns(entry); });
            if (!results_[entry].ended) break;
            const Result result = results_[entry];
            lock.unlock();
            std::fwrite(result.text.data(), 1, result.text.size(), stdout);
            std::fflush(stdout);
            if (!result.succeeded) status = 1;
        }
        return status;
    }

private:
    struct Result {
        std::string text;
        bool succeeded = false;
        bool ended = false;
    };

    bool take(size_t& entry) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (stopped_ || next_ == jobs_.size()) return false;
        entry = next_++;
        return true;
    }
    // Entries are taken in order, so one not taken after a failure never will be.
    bool neverRuns(size_t entry) const { return stopped_ && entry >= next_; }

    const std::vector<JobSpec>& jobs_;
    std::vector<Result> results_;
    std::mutex mutex_;
    std::condition_variable changed_;
    size_t next_ = 0;
    bool stopped_ = false;
};

}  // namespace

int RunEntries(const std::vector<JobSpec>& jobs, int workers) {
    if (workers <= 1 || jobs.size() <= 1) return RunInTurn(jobs);
    Batch batch(jobs);
    std::vector<std::thread> threads;
    const size_t count = std::min(jobs.size(), static_cast<size_t>(workers));
    try {
        for (size_t i = 0; i < count; ++i) threads.emplace_back([&batch] { batch.work(); });
    } catch (const std::system_error&) {
        // The system gave fewer threads than asked: the ones it gave do the work.
        if (threads.empty()) return RunInTurn(jobs);
    }
    const int status = batch.print();
    for (std::thread& thread : threads) thread.join();
    return status;
}
