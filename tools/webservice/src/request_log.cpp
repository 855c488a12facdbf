#include "request_log.h"

#include <fcntl.h>
#include <unistd.h>

namespace webservice {

bool RequestLog::Open(const std::string& path) {
    if (path.empty()) return true;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    return fd_ >= 0;
}

RequestLog::~RequestLog() {
    if (fd_ >= 0) ::close(fd_);
}

void RequestLog::Record(const std::string& method, const std::string& target) {
    if (fd_ < 0) return;
    std::string line = method + " " + target;
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    line += '\n';
    // One write per line, so that a reader never sees half a line (O_APPEND).
    const ssize_t written = ::write(fd_, line.data(), line.size());
    (void)written;
}

}  // namespace webservice
