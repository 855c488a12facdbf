#include "opening_signal.h"

#include <chrono>

void COpeningSignal::Notify() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        ++count_;
    }
    changed_.notify_all();
}

std::uint64_t COpeningSignal::Count() const {
    std::lock_guard<std::mutex> guard(lock_);
    return count_;
}

void COpeningSignal::WaitFor(std::uint64_t seen, int limitMs) const {
    std::unique_lock<std::mutex> guard(lock_);
    changed_.wait_for(guard, std::chrono::milliseconds(limitMs), [&] { return count_ != seen; });
}
