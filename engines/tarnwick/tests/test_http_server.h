// A small HTTP/1.1 server on 127.0.0.1 (port chosen by the system) for tests: serves bodies
// from memory, answers "Range: bytes=N-" with 206, records every request, and misbehaves on
// demand (cut a response short, hold it until released, or never end it).
#pragma once

#include <atomic>
#include <condition_variable>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testhttp {

class TestHttpServer {
public:
    struct Request {
        std::string target;  // as sent, query included
        std::string range;   // the Range header's value, empty when none
    };

    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    int Port() const { return port_; }
    std::string Url(const std::string& path) const;

    // What `path` (compared without its query) answers; unknown paths answer 404.
    void Serve(const std::string& path, const std::string& body, int status = 200);
    // With `honor` false a Range request gets the whole body with 200.
    void SetHonorRange(const std::string& path, bool honor);
    // The next `times` responses of `path` end after `bytes` body bytes (connection closed).
    void DropAfter(const std::string& path, long long bytes, int times = 1);
    // Responses of `path` send `bytes` body bytes, then wait for ReleaseStalls() and close.
    void StallAfter(const std::string& path, long long bytes);
    // Lets every held response go (they close without sending the rest) and ends stalling.
    void ReleaseStalls();
    // `path` answers 200 without a length and sends bytes until the client goes away; past
    // `limit` bytes (a guard for the test's own machine) it ends the answer there.
    void ServeEndless(const std::string& path, long long limit);
    // Body bytes the endless answers have sent so far.
    long long EndlessBytesSent() const { return endlessSent_; }

    std::vector<Request> Requests(const std::string& path) const;
    int RequestCount(const std::string& path) const;
    int StalledCount() const { return stalled_; }

private:
    struct Resource {
        std::string body;
        int status = 200;
        bool honorRange = true;
        long long dropAfter = -1;
        int dropTimes = 0;
        long long stallAfter = -1;
        long long endlessLimit = -1;  // >= 0: an endless answer
    };

    void AcceptLoop();
    void Handle(int client);
    void SendEndless(int client, long long limit);

    int listener_ = -1;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable stallSignal_;
    std::map<std::string, Resource> resources_;
    std::map<std::string, std::vector<Request>> requests_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> stalled_{0};
    std::atomic<long long> endlessSent_{0};
    unsigned stallGeneration_ = 0;
    std::list<std::thread> connections_;
    std::thread acceptor_;
};

}  // namespace testhttp
