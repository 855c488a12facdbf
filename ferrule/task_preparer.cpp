#include "task_preparer.h"

namespace http::server {

task_preparer::task_preparer() : thread_([this] { run(); }) {}

task_preparer::~task_preparer() { stop(); }

void task_preparer::post(std::function<void()> job) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (stopping_) return;
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void task_preparer::stop() {
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
        dropped.swap(jobs_);
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
    // The dropped jobs (and what they hold) go here, outside the lock.
}

void task_preparer::run() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> guard(lock_);
            wake_.wait(guard, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

}  // namespace http::server
