// Names that look like files but are not plain ones, for the tests of every reader that takes
// a path from outside: a FIFO without a writer (a plain open waits for one for ever), the
// endless /dev/zero, and a link to it under a torrent's name.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

struct HostileFile {
    std::string what;  // for the failure message
    std::string path;
};

// Makes "fifo", "fifo.torrent", "zero-link" and "zero-link.torrent" in `folder` and answers
// them with /dev/zero itself. Throws when they cannot be made.
std::vector<HostileFile> MakeHostileFiles(const std::string& folder);

// Runs `read` on a thread of its own and answers whether it returned within `limit`. A read
// stuck in opening a FIFO of `folder` (as MakeHostileFiles made them) is set free by a writer
// that comes and goes, so that a failing test ends instead of hanging.
bool ReturnsWithin(const std::function<void()>& read, const std::string& folder,
                   std::chrono::milliseconds limit = std::chrono::seconds(10));

// The peak resident size of this process (VmHWM) in KiB, and resetting it to the current size
// so that a following peak can be measured. 0 when it cannot be read.
long PeakResidentKiB();
void ResetPeakResident();

}  // namespace testsupport
