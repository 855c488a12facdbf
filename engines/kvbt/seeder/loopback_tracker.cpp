#include "loopback_tracker.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>

namespace kvbt_testing {

namespace {

// A request that has not ended within this time is dropped.
constexpr int kRequestTimeoutMs = 5000;

int ListenOnLoopback(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 16) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

// Reads until the end of the request's head; false when the peer goes or is too slow.
bool ReadRequestHead(int fd) {
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        pollfd wait{fd, POLLIN, 0};
        if (::poll(&wait, 1, kRequestTimeoutMs) != 1) return false;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        request.append(buffer, static_cast<std::size_t>(n));
    }
    return request.find("\r\n\r\n") != std::string::npos;
}

// The peer goes in the compact form (four address bytes, two port bytes, network order), which
// clients ask for and public trackers answer with. A peer named by its address as a string is
// looked up as a host name first, and libtorrent then waits for its next once-a-second round
// before connecting to it rather than at once.
std::string CompactLoopbackPeer(int peerPort) {
    const char peer[] = {127,
                         0,
                         0,
                         1,
                         static_cast<char>((peerPort >> 8) & 0xff),
                         static_cast<char>(peerPort & 0xff)};
    return std::string(peer, sizeof peer);
}

void Answer(int fd, int peerPort) {
    const std::string body = "d8:intervali5e5:peers6:" + CompactLoopbackPeer(peerPort) + "e";
    const std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                              std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    std::size_t sent = 0;
    while (sent < reply.size()) {
        const ssize_t n = ::send(fd, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

}  // namespace

struct LoopbackTracker::State {
    int listener = -1;
    int port = 0;
    int wake[2] = {-1, -1};  // written once to end the thread
    int peerPort = 0;
    std::thread thread;

    void Serve() {
        for (;;) {
            pollfd waits[2] = {{listener, POLLIN, 0}, {wake[0], POLLIN, 0}};
            if (::poll(waits, 2, -1) < 0) continue;
            if (waits[1].revents != 0) return;
            const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            if (ReadRequestHead(client)) Answer(client, peerPort);
            ::close(client);
        }
    }
};

LoopbackTracker::LoopbackTracker(int peerPort) : state_(std::make_unique<State>()) {
    state_->peerPort = peerPort;
    state_->listener = ListenOnLoopback(state_->port);
    if (state_->listener < 0 || ::pipe2(state_->wake, O_CLOEXEC) != 0) return;
    state_->thread = std::thread([state = state_.get()] { state->Serve(); });
}

LoopbackTracker::~LoopbackTracker() {
    if (state_->thread.joinable()) {
        const char stop = 1;
        while (::write(state_->wake[1], &stop, 1) < 0 && errno == EINTR) {
        }
        state_->thread.join();
    }
    for (int fd : {state_->listener, state_->wake[0], state_->wake[1]})
        if (fd >= 0) ::close(fd);
}

bool LoopbackTracker::Listening() const { return state_->thread.joinable(); }

std::string LoopbackTracker::AnnounceUrl() const {
    return "http://127.0.0.1:" + std::to_string(state_->port) + "/announce";
}

}  // namespace kvbt_testing
