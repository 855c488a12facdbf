// The threads on which new stream tasks are prepared: fetching a torrent and waiting for its
// metadata take seconds, and the server thread must go on serving every other connection
// meanwhile. Preparations for different videos run side by side, so that a torrent host that
// does not answer holds up only its own stream; jobs for one video run one after another in
// the order they came, so that two requests for one new video make one task.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace http::server {

class task_preparer {
public:
    // Preparations that run at once; a job beyond them waits for a free slot.
    static constexpr std::size_t slots = 4;

    task_preparer();
    ~task_preparer();
    task_preparer(const task_preparer&) = delete;
    task_preparer& operator=(const task_preparer&) = delete;

    // Queues a job for the video of `key` (any thread). After stop() jobs are dropped.
    void post(const std::string& key, std::function<void()> job);
    // Drops the jobs not yet begun and waits for the running ones (any thread but theirs).
    void stop();

private:
    struct job_entry {
        std::string key;
        std::function<void()> job;
    };

    void run();
    // The first queued job whose video has no job running; the end when there is none.
    std::deque<job_entry>::iterator next_runnable();

    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<job_entry> jobs_;
    std::set<std::string> running_;  // videos with a job under way
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace http::server
