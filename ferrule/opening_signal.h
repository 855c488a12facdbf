// Wakes the tasks that are being opened when there is news for them (the engine brought a
// torrent's metadata, or they are to give up), so that none of them sits out a poll. A waiter
// takes the count before it looks at what it waits for, so news in between is not lost.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

class COpeningSignal {
public:
    // Any thread.
    void Notify();
    std::uint64_t Count() const;
    // Sleeps until the count differs from `seen`, or `limitMs` passed.
    void WaitFor(std::uint64_t seen, int limitMs) const;

private:
    mutable std::mutex lock_;
    mutable std::condition_variable changed_;
    std::uint64_t count_ = 0;
};
