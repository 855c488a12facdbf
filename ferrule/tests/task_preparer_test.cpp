// The preparer of new stream tasks: preparations for different videos side by side up to its
// slots, a job beyond them waiting for a free slot, and the jobs of one video in turn.
#include "task_preparer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Jobs that note when they start and run until the test lets them end.
class HeldJobs {
public:
    std::function<void()> Job(const std::string& name) {
        return [this, name] {
            std::unique_lock<std::mutex> guard(lock_);
            started_.push_back(name);
            running_.insert(name);
            peak_ = std::max(peak_, running_.size());
            changed_.notify_all();
            changed_.wait(guard, [&] { return released_.count(name) != 0; });
            running_.erase(name);
        };
    }
    void Release(const std::string& name) {
        std::lock_guard<std::mutex> guard(lock_);
        released_.insert(name);
        changed_.notify_all();
    }
    // Waits (bounded) until `count` jobs have started; answers the names in order.
    std::vector<std::string> Started(std::size_t count, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> guard(lock_);
        changed_.wait_for(guard, limit, [&] { return started_.size() >= count; });
        return started_;
    }
    std::size_t Peak() {
        std::lock_guard<std::mutex> guard(lock_);
        return peak_;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::string> started_;
    std::set<std::string> running_, released_;
    std::size_t peak_ = 0;
};

}  // namespace

TEST(TaskPreparer, VideosSideBySideUpToTheSlotsAndOneVideoInTurn) {
    static_assert(http::server::task_preparer::slots == 4);
    HeldJobs jobs;
    http::server::task_preparer preparer;
    for (const char* video : {"a", "b", "c", "d", "e"}) preparer.post(video, jobs.Job(video));
    preparer.post("a", jobs.Job("a again"));

    // The first four in any order: four threads take them at once.
    std::vector<std::string> first = jobs.Started(4, 10s);
    std::sort(first.begin(), first.end());
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "d"}), first);
    // The fifth video waits for a slot (a wait that may pass too soon, never fail wrongly).
    EXPECT_EQ(4u, jobs.Started(5, 300ms).size());
    jobs.Release("b");
    EXPECT_EQ("e", jobs.Started(5, 10s).back());
    // A second job for a video waits for the first even with a slot free.
    jobs.Release("c");
    EXPECT_EQ(5u, jobs.Started(6, 300ms).size());
    jobs.Release("a");
    EXPECT_EQ("a again", jobs.Started(6, 10s).back());
    EXPECT_EQ(4u, jobs.Peak());
    for (const char* job : {"d", "e", "a again"}) jobs.Release(job);
    preparer.stop();
}
