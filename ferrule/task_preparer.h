// The thread on which new stream tasks are prepared: fetching a torrent and waiting for its
// metadata take seconds, and the server thread must go on serving every other connection
// meanwhile. Jobs run one at a time in the order they came, so that two requests for one new
// video make one task.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace http::server {

class task_preparer {
public:
    task_preparer();
    ~task_preparer();
    task_preparer(const task_preparer&) = delete;
    task_preparer& operator=(const task_preparer&) = delete;

    // Queues a job (any thread). After stop() jobs are dropped.
    void post(std::function<void()> job);
    // Drops the jobs not yet begun and waits for the running one (any thread but its own).
    void stop();

private:
    void run();

    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace http::server
