#include "test_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace testhttp {
namespace {

std::string PathOf(const std::string& target) { return target.substr(0, target.find('?')); }

bool SendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

const char* Reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 206:
            return "Partial Content";
        case 404:
            return "Not Found";
        case 416:
            return "Range Not Satisfiable";
        case 500:
            return "Internal Server Error";
        default:
            return "Status";
    }
}

}  // namespace

TestHttpServer::TestHttpServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("test HTTP server cannot listen");
    }
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread(&TestHttpServer::AcceptLoop, this);
}

TestHttpServer::~TestHttpServer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    stallSignal_.notify_all();
    acceptor_.join();
    for (auto& connection : connections_) connection.join();
    ::close(listener_);
}

std::string TestHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void TestHttpServer::Serve(const std::string& path, const std::string& body, int status) {
    std::lock_guard<std::mutex> lock(mutex_);
    resources_[path].body = body;
    resources_[path].status = status;
}

void TestHttpServer::SetHonorRange(const std::string& path, bool honor) {
    std::lock_guard<std::mutex> lock(mutex_);
    resources_[path].honorRange = honor;
}

void TestHttpServer::DropAfter(const std::string& path, long long bytes, int times) {
    std::lock_guard<std::mutex> lock(mutex_);
    resources_[path].dropAfter = bytes;
    resources_[path].dropTimes = times;
}

void TestHttpServer::StallAfter(const std::string& path, long long bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    resources_[path].stallAfter = bytes;
}

void TestHttpServer::ReleaseStalls() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& entry : resources_) entry.second.stallAfter = -1;
        ++stallGeneration_;
    }
    stallSignal_.notify_all();
}

void TestHttpServer::ServeEndless(const std::string& path, long long limit) {
    std::lock_guard<std::mutex> lock(mutex_);
    resources_[path].endlessLimit = limit;
}

std::vector<TestHttpServer::Request> TestHttpServer::Requests(const std::string& path) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = requests_.find(path);
    return found == requests_.end() ? std::vector<Request>{} : found->second;
}

int TestHttpServer::RequestCount(const std::string& path) const {
    return static_cast<int>(Requests(path).size());
}

void TestHttpServer::AcceptLoop() {
    while (!stopping_) {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, 50) <= 0) continue;
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        std::lock_guard<std::mutex> lock(mutex_);
        connections_.emplace_back(&TestHttpServer::Handle, this, client);
    }
}

void TestHttpServer::Handle(int client) {
    timeval timeout{5, 0};
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        const ssize_t got = ::recv(client, buffer, sizeof(buffer), 0);
        if (got <= 0) break;
        head.append(buffer, static_cast<size_t>(got));
    }
    const size_t firstSpace = head.find(' ');
    const size_t secondSpace = head.find(' ', firstSpace + 1);
    if (firstSpace == std::string::npos || secondSpace == std::string::npos) {
        ::close(client);
        return;
    }
    Request request;
    request.target = head.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    const std::string lowerHead = Lower(head);
    const size_t rangeAt = lowerHead.find("\r\nrange:");
    if (rangeAt != std::string::npos) {
        const size_t valueAt = rangeAt + 8;
        request.range = head.substr(valueAt, head.find("\r\n", valueAt) - valueAt);
        request.range.erase(0, request.range.find_first_not_of(' '));
    }

    const std::string path = PathOf(request.target);
    Resource resource;
    bool known = false;
    unsigned generation = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_[path].push_back(request);
        auto found = resources_.find(path);
        if (found != resources_.end()) {
            known = true;
            resource = found->second;
            if (found->second.dropTimes > 0 && --found->second.dropTimes == 0) {
                found->second.dropAfter = -1;
            }
            if (resource.dropTimes <= 0) resource.dropAfter = -1;
        }
        generation = stallGeneration_;
    }

    if (known && resource.endlessLimit >= 0) {
        SendEndless(client, resource.endlessLimit);
        return;
    }
    int status = known ? resource.status : 404;
    const std::string& full = resource.body;
    long long begin = 0;
    std::string extra;
    if (known && status == 200 && resource.honorRange && request.range.rfind("bytes=", 0) == 0) {
        begin = std::atoll(request.range.c_str() + 6);
        if (begin >= static_cast<long long>(full.size())) {
            status = 416;
            extra = "Content-Range: bytes */" + std::to_string(full.size()) + "\r\n";
        } else {
            status = 206;
            extra = "Content-Range: bytes " + std::to_string(begin) + "-" +
                    std::to_string(full.size() - 1) + "/" + std::to_string(full.size()) + "\r\n";
        }
    }
    const std::string body =
        (status == 200 || status == 206) ? full.substr(static_cast<size_t>(begin)) : std::string();
    const std::string header = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) +
                               "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
                               extra + "Connection: close\r\n\r\n";
    bool ok = SendAll(client, header.data(), header.size());

    long long cut = static_cast<long long>(body.size());
    if (resource.dropAfter >= 0) cut = std::min(cut, resource.dropAfter);
    if (resource.stallAfter >= 0) cut = std::min(cut, resource.stallAfter);
    for (long long sent = 0; ok && sent < cut;) {
        const long long chunk = std::min<long long>(16384, cut - sent);
        ok = SendAll(client, body.data() + sent, static_cast<size_t>(chunk));
        sent += chunk;
    }
    if (ok && resource.stallAfter >= 0 && cut == resource.stallAfter) {
        ++stalled_;
        std::unique_lock<std::mutex> lock(mutex_);
        stallSignal_.wait(lock, [&] { return stopping_ || stallGeneration_ != generation; });
        --stalled_;
    } else if (ok && cut == static_cast<long long>(body.size())) {
        // A complete answer: let the client read it before the socket goes.
        ::shutdown(client, SHUT_WR);
    }
    ::close(client);
}

void TestHttpServer::SendEndless(int client, long long limit) {
    // A client that stops reading without going away holds the send for a bounded time only.
    timeval timeout{5, 0};
    ::setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
    const std::string header = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n";
    const std::string chunk(16384, 'x');
    bool ok = SendAll(client, header.data(), header.size());
    for (long long sent = 0; ok && !stopping_ && sent < limit; sent += chunk.size()) {
        ok = SendAll(client, chunk.data(), chunk.size());
        if (ok) endlessSent_ += static_cast<long long>(chunk.size());
    }
    ::close(client);
}

}  // namespace testhttp
