// The server end of the BT server's pipe: one instance, one client per exchange.
#pragma once

#include <memory>
#include <string>

namespace platform {
class PipeServer;
}

class PipeServerHandle {
public:
    enum class ReceiveResult {
        Request,     // a client is connected and its request was read
        ClientLost,  // a client came but sent nothing usable in time; it has been let go
        Closed,      // the pipe cannot wait any longer (shut down or broken)
    };

    // Null when the pipe cannot be made (another live server holds the name, no usable
    // runtime folder).
    static std::unique_ptr<PipeServerHandle> Create(const std::string& pipeName);
    ~PipeServerHandle();
    PipeServerHandle(const PipeServerHandle&) = delete;
    PipeServerHandle& operator=(const PipeServerHandle&) = delete;

    // A connected client that sends nothing for this long loses its turn, so that one silent
    // client cannot keep every other one waiting.
    static constexpr int kClientReadTimeoutMs = 3000;

    // Lets a client that is still connected go, waits for the next one and reads its request
    // (the text up to its first NUL, at most 65535 bytes).
    ReceiveResult Receive(std::string& request);
    // Sends the reply when it fits one message (65534 bytes at most; a longer one is not
    // sent, so that client sees a failed exchange) and lets the client go. False when
    // nothing was sent.
    bool Reply(const std::string& reply);
    // Makes a Receive that waits for a client, now or later, answer Closed. Safe from any
    // thread while another one uses the handle.
    void Close();

    explicit PipeServerHandle(std::unique_ptr<platform::PipeServer> server);

private:
    std::unique_ptr<platform::PipeServer> server_;
};
