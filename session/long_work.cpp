#include "session/long_work.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace colorsplit {

LongWork::LongWork(Kind kind, QString subject, Run run, Step apply, Step cancelled)
    : kind_(kind),
      subject_(std::move(subject)),
      run_(std::move(run)),
      apply_(std::move(apply)),
      cancelled_(std::move(cancelled)) {}

void LongWork::WasCancelled() const {
    if (cancelled_)
        cancelled_();
}

void RunToEnd(const LongWork& work, Progress& progress) {
    try {
        work.RunOn(progress);
    } catch (const Cancelled&) {
        work.WasCancelled();
        return;
    }
    work.Apply();
}

void RunTogether(const std::vector<std::function<void()>>& jobs, unsigned threads) {
    std::atomic<size_t> next{0};
    std::mutex lock;
    std::exception_ptr failure;
    // Each thread takes the next job not taken: the jobs first in the list start first.
    const auto work = [&] {
        for (size_t i = next++; i < jobs.size(); i = next++) {
            try {
                jobs[i]();
            } catch (...) {
                const std::lock_guard<std::mutex> guard(lock);
                if (!failure)
                    failure = std::current_exception();
            }
        }
    };
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < threads && i < jobs.size(); ++i)
        helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
}

}  // namespace colorsplit
