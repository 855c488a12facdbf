// The system's named pipe: an AF_UNIX SOCK_SEQPACKET socket (message mode) at a per-user
// path, named after the last component of the Windows pipe name ("\\.\pipe\orvanebt" ->
// <runtime>/orvanebt.pipe). One server instance per name; clients queue in the backlog and
// are served one at a time; only processes of the same user are admitted (SO_PEERCRED).
// Messages are carried as given (empty ones included); the terminating NUL of the wire form
// is added on sending and removed on receiving here, so callers never handle it.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

namespace platform {

constexpr std::size_t kPipeBufferSize = 65536;

// Socket path for a pipe name (accepts the Windows form or a bare name).
std::string PipeSocketPath(const std::string& pipeName);

class PipeServer {
public:
    // Null when another live server holds the name or the socket cannot be made.
    // A stale socket file left by a dead server is replaced.
    static std::unique_ptr<PipeServer> Create(const std::string& pipeName);
    ~PipeServer();
    PipeServer(const PipeServer&) = delete;
    PipeServer& operator=(const PipeServer&) = delete;

    // Blocks until a client of the same user connects (others are dropped). False when the
    // server was shut down or accepting failed.
    bool WaitForClient();
    bool HasClient() const { return client_ >= 0; }
    // Reads one message (at most kPipeBufferSize bytes; longer ones are cut). False when the
    // client went away without sending, when nothing came within `timeoutMs` (negative: no
    // limit), or when the server is shut down meanwhile.
    bool ReadMessage(std::string& message, int timeoutMs = -1);
    // Writes one message. False when the client is gone.
    bool WriteMessage(const std::string& message);
    // Lets the current client go.
    void Disconnect();
    // Makes a blocked WaitForClient or ReadMessage return false (safe from another thread).
    void Shutdown();

private:
    PipeServer(int listenFd, int lockFd, std::string path);
    int listen_;
    int lock_;  // held while the server lives: a second live server of the name is refused
    int client_ = -1;
    std::atomic<bool> shutdown_{false};
    std::string path_;
};

// One exchange: connect, send `request` as one message, read one reply message (cut at
// kPipeBufferSize bytes, which still counts as success), disconnect. timeoutMs = 0 waits
// without limit for a busy server; otherwise the whole exchange is bounded by it. No server:
// false at once. `reply` may be null when the caller wants none.
bool PipeCall(const std::string& pipeName, const std::string& request, std::string* reply,
              unsigned timeoutMs);

}  // namespace platform
