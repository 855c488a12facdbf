#include "testsupport/other_user.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace testsupport {

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The child's part: only system calls, since it is a fork of a program with threads. Exit
// codes: 0 the server closed, 2 no identity, 3 no connection, 4 no close in time.
[[noreturn]] void Exchange(uid_t uid, int port, const std::string& request,
                           Clock::time_point deadline, int out) {
    if (uid != ::geteuid() && (::setgroups(0, nullptr) != 0 || ::setresgid(uid, uid, uid) != 0 ||
                               ::setresuid(uid, uid, uid) != 0))
        ::_exit(2);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        ::_exit(3);
    // A refusing server may close before the request is all out; what matters is the answer.
    (void)::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char buffer[16384];
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, MillisecondsLeft(deadline)) <= 0) ::_exit(4);
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ::_exit(0);  // closed (a reset counts as closed too)
        if (!WriteAll(out, buffer, static_cast<size_t>(n))) ::_exit(4);
    }
}

}  // namespace

bool CanActAsOtherUsers() { return ::geteuid() == 0; }

std::optional<std::string> ExchangeAsUser(uid_t uid, int port, const std::string& request,
                                          std::chrono::milliseconds limit) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return std::nullopt;
    const auto deadline = Clock::now() + limit;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        Exchange(uid, port, request, deadline, pipeFds[1]);
    }
    ::close(pipeFds[1]);
    std::string received;
    bool ended = false;  // the child closed its end
    char buffer[16384];
    while (child > 0) {
        // The child ends by its own deadline; this one only guards against a child that hangs.
        pollfd ready{pipeFds[0], POLLIN, 0};
        if (::poll(&ready, 1, MillisecondsLeft(deadline) + 5000) <= 0) break;
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        ended = n <= 0;
        if (ended) break;
        received.append(buffer, static_cast<size_t>(n));
    }
    ::close(pipeFds[0]);
    if (child < 0) return std::nullopt;
    if (!ended) ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!ended || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return received;
}

}  // namespace testsupport
