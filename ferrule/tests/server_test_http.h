// Loopback HTTP helpers for the stream server's tests: a blocking client that reads a whole
// response, and a tiny file server that hands out torrent files.
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace stream_testing {

struct HttpResponse {
    bool ok = false;  // a status line arrived
    int status = 0;
    std::map<std::string, std::string> headers;  // names lower-cased
    std::string body;
    bool closed = false;  // the server closed the connection
};

// A connected TCP socket to 127.0.0.1:port, or -1.
int ConnectLoopback(int port);

// Sends `raw` to 127.0.0.1:port and reads until the server closes or `limit` passes.
// With `closeWrite`, the sending side is shut down after the request.
HttpResponse RawRequest(int port, const std::string& raw,
                        std::chrono::milliseconds limit = std::chrono::seconds(20),
                        bool closeWrite = false);

// A GET of `target` with a Host of 127.0.0.1 and optional extra header lines ("Name: v").
HttpResponse Get(int port, const std::string& target, const std::string& extraHeaders = "",
                 std::chrono::milliseconds limit = std::chrono::seconds(30));

// A connection that stays open while a test reads from it at its own pace.
class StreamReader {
public:
    StreamReader(int port, const std::string& target, const std::string& extraHeaders = "");
    ~StreamReader();
    StreamReader(const StreamReader&) = delete;
    StreamReader& operator=(const StreamReader&) = delete;

    // Reads the status line and headers. False when they did not come within `limit`.
    bool ReadHeaders(std::chrono::milliseconds limit = std::chrono::seconds(30));
    // Reads up to `count` body bytes within `limit`; fewer when the server closed.
    std::string ReadBody(std::size_t count, std::chrono::milliseconds limit);
    // True once the server has closed the connection (waits at most `limit`).
    bool WaitClosed(std::chrono::milliseconds limit);

    int status() const { return status_; }
    std::string header(const std::string& lowerName) const;

private:
    int fd_ = -1;
    int status_ = 0;
    std::map<std::string, std::string> headers_;
    std::string pending_;
};

// Serves the files of one folder over HTTP/1.0 on 127.0.0.1 until destroyed, one request at
// a time; a "Range: bytes=n-" request gets the rest of the file from n.
class TestFileServer {
public:
    explicit TestFileServer(const std::string& folder);
    ~TestFileServer();
    TestFileServer(const TestFileServer&) = delete;
    TestFileServer& operator=(const TestFileServer&) = delete;

    int port() const { return port_; }
    std::string Url(const std::string& name) const;
    int requests() const { return requests_; }

    // Answers "/<from>" with a redirection to "/<to>".
    void Redirect(const std::string& from, const std::string& to);
    // Sends bodies `bytes` at a time with `pause` between (default: at once).
    void SetPace(std::size_t bytes, std::chrono::milliseconds pause);

private:
    void Serve();
    std::string Answer(const std::string& request);
    void SendBody(int fd, const std::string& head, const std::string& body);

    std::mutex lock_;
    std::map<std::string, std::string> redirects_;
    std::size_t paceBytes_ = 0;
    std::chrono::milliseconds pause_{0};
    std::string folder_;
    int listen_fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::thread thread_;
};

// Standard Base64 of bytes, as the player writes stream items.
std::string Base64Encode(const std::string& bytes);

}  // namespace stream_testing
