// When a stream leans on its HTTP assist: the BitTorrent task gets its normal limits back once
// the assist has brought enough, has run long, or brings nothing; the assist stops once it has
// brought its share, has run too long, or the engine is well ahead of it.
#pragma once

#include <cstdint>

struct AssistStep {
    bool speedUp = false;  // restore the task's normal limits
    bool stop = false;     // stop the assist (and restore the limits)
};

// `downloaded`: bytes the assist brought; `ageMs`: since it started; `available`: bytes the
// engine holds in a row from the stream's start.
inline AssistStep DecideAssist(std::uint64_t downloaded, std::uint64_t ageMs,
                               std::uint64_t available) {
    constexpr std::uint64_t kMiB = 1024 * 1024;
    AssistStep step;
    step.speedUp = downloaded >= 8 * kMiB || ageMs > 80000 || (downloaded < 1024 && ageMs > 5000);
    step.stop = downloaded >= 12 * kMiB || ageMs > 120000 || available > downloaded + 3 * kMiB;
    return step;
}
