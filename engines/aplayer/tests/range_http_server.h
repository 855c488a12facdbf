// A small HTTP/1.1 file server on 127.0.0.1 (port chosen by the system) that answers byte-range
// requests and logs every request, for the engine's network-source tests. One request per
// connection; an optional rate limit starves the client to make it wait for its cache.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace aplayer::test {

class RangeHttpServer {
public:
    struct Request {
        bool hasRange = false;
        long long rangeStart = 0;
        std::chrono::steady_clock::time_point when;
    };

    // Serves the file `path` under every request path. Throws when it cannot listen.
    explicit RangeHttpServer(std::string path);
    ~RangeHttpServer();
    RangeHttpServer(const RangeHttpServer&) = delete;
    RangeHttpServer& operator=(const RangeHttpServer&) = delete;

    std::string Url(const std::string& name) const;
    std::vector<Request> Requests() const;
    // Bytes per second for every connection from now on; 0 = unlimited.
    void SetRateLimit(long long bytesPerSecond) { rate_ = bytesPerSecond; }

private:
    void AcceptLoop();
    void Serve(int fd);
    bool SendAll(int fd, const char* data, std::size_t size);

    std::string path_;
    long long size_ = 0;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<long long> rate_{0};
    mutable std::mutex mutex_;
    std::vector<Request> requests_;
    std::vector<std::thread> workers_;
    std::thread acceptor_;
};

}  // namespace aplayer::test
