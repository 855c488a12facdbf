// A stand-in for the BT server's end of the pipe: it records every request with its arrival
// time and answers through a function of the test, on a thread of its own.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace platform {
class PipeServer;
}

namespace webroadtest {

class StubPipeServer {
public:
    // Called on the server's thread; std::nullopt lets the client go without a reply.
    using Answer = std::function<std::optional<std::string>(const std::string& request)>;
    struct Request {
        std::string text;
        std::chrono::steady_clock::time_point at;
    };

    explicit StubPipeServer(Answer answer);
    ~StubPipeServer();
    StubPipeServer(const StubPipeServer&) = delete;
    StubPipeServer& operator=(const StubPipeServer&) = delete;

    // False when the pipe could not be made (another server holds it).
    bool Listening() const { return server_ != nullptr; }
    std::vector<Request> Requests() const;
    std::vector<std::string> Texts() const;
    // The requests whose text begins with `prefix`, in arrival order.
    std::vector<std::string> TextsStartingWith(const std::string& prefix) const;

private:
    void Run();

    Answer answer_;
    std::unique_ptr<platform::PipeServer> server_;
    mutable std::mutex lock_;
    std::vector<Request> requests_;
    std::thread thread_;
};

// An answer that knows the commands of the web-page road: "bturl" gives a stream base URL,
// "play", "seturl" and "setstate" give "0", "geturl" and "getstate" give `urls(win)` and
// `states(win)`; anything else "".
StubPipeServer::Answer WebRoadAnswer(std::function<std::string(const std::string& win)> urls,
                                     std::function<std::string(const std::string& win)> states);

}  // namespace webroadtest
