#include "testsupport/file_events.h"

#include <sys/inotify.h>
#include <unistd.h>

namespace testsupport {

RenamesInto::RenamesInto(const std::string& folder)
    : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ >= 0) watch_ = ::inotify_add_watch(fd_, folder.c_str(), IN_MOVED_TO);
}

RenamesInto::~RenamesInto() {
    if (fd_ >= 0) ::close(fd_);
}

std::map<std::string, int> RenamesInto::Take() {
    std::map<std::string, int> counts;
    // The events of a rename are queued by the time rename() returns.
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len > 0) ++counts[event->name];
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return counts;
}

}  // namespace testsupport
