#include "task_preparer.h"

namespace http::server {

task_preparer::task_preparer() {
    for (std::size_t i = 0; i < slots; ++i) threads_.emplace_back([this] { run(); });
}

task_preparer::~task_preparer() { stop(); }

void task_preparer::post(const std::string& key, std::function<void()> job) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (stopping_) return;
        jobs_.push_back({key, std::move(job)});
    }
    wake_.notify_all();
}

void task_preparer::stop() {
    std::deque<job_entry> dropped;
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
        dropped.swap(jobs_);
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) {
        if (thread.joinable()) thread.join();
    }
    // The dropped jobs (and what they hold) go here, outside the lock.
}

std::deque<task_preparer::job_entry>::iterator task_preparer::next_runnable() {
    for (auto it = jobs_.begin(); it != jobs_.end(); ++it) {
        if (!running_.count(it->key)) return it;
    }
    return jobs_.end();
}

void task_preparer::run() {
    for (;;) {
        job_entry entry;
        {
            std::unique_lock<std::mutex> guard(lock_);
            wake_.wait(guard, [this] { return stopping_ || next_runnable() != jobs_.end(); });
            if (stopping_) return;
            const auto it = next_runnable();
            entry = std::move(*it);
            jobs_.erase(it);
            running_.insert(entry.key);
        }
        entry.job();
        {
            std::lock_guard<std::mutex> guard(lock_);
            running_.erase(entry.key);
        }
        // A job for the same video may run now.
        wake_.notify_all();
    }
}

}  // namespace http::server
