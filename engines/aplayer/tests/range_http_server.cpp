#include "range_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>

namespace aplayer::test {

namespace {

// Waits up to 100 ms for `events` on `fd`; true when ready.
bool Ready(int fd, short events) {
    pollfd p{fd, events, 0};
    return poll(&p, 1, 100) > 0;
}

}  // namespace

RangeHttpServer::RangeHttpServer(std::string path) : path_(std::move(path)) {
    std::ifstream file(path_, std::ios::binary | std::ios::ate);
    if (!file) throw std::runtime_error("cannot read " + path_);
    size_ = static_cast<long long>(file.tellg());

    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listener_, 16) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        if (listener_ >= 0) close(listener_);
        throw std::runtime_error("cannot listen on loopback");
    }
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

RangeHttpServer::~RangeHttpServer() {
    stopping_ = true;
    acceptor_.join();
    for (auto& worker : workers_) worker.join();
    close(listener_);
}

std::string RangeHttpServer::Url(const std::string& name) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + name;
}

std::vector<RangeHttpServer::Request> RangeHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void RangeHttpServer::AcceptLoop() {
    while (!stopping_) {
        if (!Ready(listener_, POLLIN)) continue;
        const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) workers_.emplace_back([this, fd] { Serve(fd); });
    }
}

bool RangeHttpServer::SendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        if (stopping_) return false;
        if (!Ready(fd, POLLOUT)) continue;
        const ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

void RangeHttpServer::Serve(int fd) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 16384 && !stopping_) {
        if (!Ready(fd, POLLIN)) continue;
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        head.append(buffer, static_cast<std::size_t>(got));
    }
    if (head.find("\r\n\r\n") == std::string::npos) {
        close(fd);
        return;
    }

    Request request;
    request.when = std::chrono::steady_clock::now();
    for (std::size_t pos = head.find("\r\n"); pos != std::string::npos;) {
        const std::size_t next = head.find("\r\n", pos + 2);
        const std::string line = head.substr(pos + 2, next - pos - 2);
        pos = next;
        if (strncasecmp(line.c_str(), "range: bytes=", 13) == 0) {
            request.hasRange = true;
            request.rangeStart = std::atoll(line.c_str() + 13);
        }
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
    }

    const long long start = request.hasRange ? request.rangeStart : 0;
    std::string reply;
    if (start >= size_ && size_ > 0) {
        reply = "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" +
                std::to_string(size_) + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        SendAll(fd, reply.data(), reply.size());
        close(fd);
        return;
    }
    const long long length = size_ - start;
    reply = request.hasRange ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
    reply += "Content-Type: video/mp4\r\nAccept-Ranges: bytes\r\nConnection: close\r\n";
    reply += "Content-Length: " + std::to_string(length) + "\r\n";
    if (request.hasRange)
        reply += "Content-Range: bytes " + std::to_string(start) + "-" + std::to_string(size_ - 1) +
                 "/" + std::to_string(size_) + "\r\n";
    reply += "\r\n";
    std::ifstream file(path_, std::ios::binary);
    file.seekg(start);
    bool ok = SendAll(fd, reply.data(), reply.size());
    while (ok && file) {
        const long long rate = rate_;
        // A tenth of the rate per step, sent every 100 ms.
        const std::size_t chunk =
            rate > 0 ? static_cast<std::size_t>(std::max(rate / 10, 1LL)) : sizeof buffer;
        std::vector<char> data(chunk);
        file.read(data.data(), static_cast<std::streamsize>(chunk));
        const auto got = static_cast<std::size_t>(file.gcount());
        if (got == 0) break;
        ok = SendAll(fd, data.data(), got);
        if (rate > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    close(fd);
}

}  // namespace aplayer::test
