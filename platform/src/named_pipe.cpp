#include "platform/named_pipe.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <utility>
#include <vector>

#include "platform/paths.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

bool MakeAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path)) {
        errno = ENAMETOOLONG;
        return false;
    }
    path.copy(address.sun_path, path.size());
    return true;
}

// One message: the payload and its terminating NUL. The NUL keeps an empty message apart
// from the end of the connection, which a zero-length read cannot tell.
bool SendMessage(int fd, const std::string& message) {
    char terminator = '\0';
    iovec parts[2] = {{const_cast<char*>(message.data()), message.size()}, {&terminator, 1}};
    msghdr header{};
    header.msg_iov = parts;
    header.msg_iovlen = 2;
    for (;;) {
        if (sendmsg(fd, &header, MSG_NOSIGNAL) >= 0) return true;
        if (errno != EINTR) return false;
    }
}

// Milliseconds left until `deadline` (rounded up): -1 without a deadline, 0 once it passed.
int MillisecondsLeft(const std::optional<Clock::time_point>& deadline) {
    if (!deadline) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, 1 << 30));
}

// Waits until `fd` has something to read. False when `listener` is shut down first: a client
// that connects and never sends must not keep a shut-down server from ending. (A listening
// socket reports a hang-up only once shut down; its queued clients raise no event here.)
// False as well once `timeoutMs` has passed (negative: no limit).
bool WaitReadable(int fd, int listener, int timeoutMs) {
    std::optional<Clock::time_point> deadline;
    if (timeoutMs >= 0) deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd entries[2] = {{fd, POLLIN, 0}, {listener, 0, 0}};
    for (;;) {
        const int ready = poll(entries, 2, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || entries[1].revents != 0) return false;
        if (entries[0].revents != 0) return true;
    }
}

// Reads one message; a longer one than kPipeBufferSize is cut there. False at the end of
// the connection or on an error.
bool ReceiveMessage(int fd, std::string& message) {
    std::vector<char> buffer(kPipeBufferSize + 1);
    iovec part{buffer.data(), buffer.size()};
    msghdr header{};
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    ssize_t n;
    do {
        n = recvmsg(fd, &header, 0);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return false;
    size_t length = static_cast<size_t>(n);
    if (header.msg_flags & MSG_TRUNC)
        length = kPipeBufferSize;
    else if (buffer[length - 1] == '\0')
        --length;
    message.assign(buffer.data(), std::min(length, kPipeBufferSize));
    return true;
}

bool SetSendTimeout(int fd, int ms) {
    timeval tv{};
    tv.tv_sec = ms / 1000;
    tv.tv_usec = (ms % 1000) * 1000;
    return setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) == 0;
}

}  // namespace

std::string PipeSocketPath(const std::string& pipeName) {
    const std::string name = FileNamePart(pipeName);
    if (name.empty() || name == "." || name == "..") return {};
    const std::string folder = UserRuntimeDir();
    if (folder.empty()) return {};
    return folder + "/" + name + ".pipe";
}

PipeServer::PipeServer(int listenFd, int lockFd, std::string path)
    : listen_(listenFd), lock_(lockFd), path_(std::move(path)) {}

std::unique_ptr<PipeServer> PipeServer::Create(const std::string& pipeName) {
    const std::string path = PipeSocketPath(pipeName);
    sockaddr_un address;
    if (!MakeAddress(path, address)) return nullptr;

    // The lock, not the socket file, tells whether a server lives: the kernel drops it with
    // its holder, while a crashed server leaves its socket file behind.
    Fd lock(open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (lock.get() < 0) return nullptr;
    if (flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) errno = EADDRINUSE;
        return nullptr;
    }

    struct stat existing {};
    if (lstat(path.c_str(), &existing) == 0) {
        // Only a socket is ours to replace; anything else at that name is left alone.
        if (!S_ISSOCK(existing.st_mode)) {
            errno = EEXIST;
            return nullptr;
        }
        unlink(path.c_str());
    }

    Fd listener(socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    if (listener.get() < 0) return nullptr;
    if (bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return nullptr;
    if (chmod(path.c_str(), 0600) != 0 || listen(listener.get(), SOMAXCONN) != 0) {
        unlink(path.c_str());
        return nullptr;
    }
    return std::unique_ptr<PipeServer>(new PipeServer(listener.release(), lock.release(), path));
}

PipeServer::~PipeServer() {
    Disconnect();
    // Remove the file while the lock still keeps a successor from binding the same name.
    unlink(path_.c_str());
    close(listen_);
    close(lock_);
}

bool PipeServer::WaitForClient() {
    Disconnect();
    while (!shutdown_) {
        const int fd = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return false;
        }
        ucred peer{};
        socklen_t size = sizeof peer;
        if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == geteuid()) {
            if (shutdown_) {
                close(fd);
                return false;
            }
            client_ = fd;
            return true;
        }
        // Another user's process: it learns nothing and the wait goes on.
        close(fd);
    }
    return false;
}

bool PipeServer::ReadMessage(std::string& message, int timeoutMs) {
    return client_ >= 0 && WaitReadable(client_, listen_, timeoutMs) &&
           ReceiveMessage(client_, message);
}

bool PipeServer::WriteMessage(const std::string& message) {
    return client_ >= 0 && SendMessage(client_, message);
}

void PipeServer::Disconnect() {
    if (client_ < 0) return;
    close(client_);
    client_ = -1;
}

void PipeServer::Shutdown() {
    shutdown_ = true;
    // Wakes an accept() blocked in another thread; clients connecting later are refused.
    shutdown(listen_, SHUT_RDWR);
}

bool PipeCall(const std::string& pipeName, const std::string& request, std::string* reply,
              unsigned timeoutMs) {
    sockaddr_un address;
    if (!MakeAddress(PipeSocketPath(pipeName), address)) return false;
    std::optional<Clock::time_point> deadline;
    if (timeoutMs != 0) deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);

    Fd fd(socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    if (fd.get() < 0) return false;

    // A listening server takes the connection into its backlog at once, even while it
    // serves another client; connect blocks only when that backlog is full (bounded by the
    // send time-out). No listener: refused at once.
    for (;;) {
        const int left = MillisecondsLeft(deadline);
        if (left == 0 || (left > 0 && !SetSendTimeout(fd.get(), left))) return false;
        if (connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            break;
        if (errno != EINTR) return false;
    }
    if (!SendMessage(fd.get(), request)) return false;

    // The server answers when our turn comes: wait for the reply within what is left.
    for (;;) {
        const int left = MillisecondsLeft(deadline);
        if (left == 0) return false;
        pollfd entry{fd.get(), POLLIN, 0};
        const int ready = poll(&entry, 1, left);
        if (ready > 0) break;
        if (ready < 0 && errno != EINTR) return false;
    }
    std::string message;
    if (!ReceiveMessage(fd.get(), message)) return false;
    if (reply) *reply = std::move(message);
    return true;
}

}  // namespace platform
