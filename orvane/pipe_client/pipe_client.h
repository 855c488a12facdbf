// The client end of the BT server's pipe, shared by the player control, the browser control
// and the host program. Plain C++ on the platform layer, so that every one of them can link it.
#pragma once

#include <cstddef>
#include <memory>

// The one pipe of the BT server, in the form every client and the server use.
inline constexpr const char kBtServerPipeName[] = "\\\\.\\pipe\\orvanebt";

// Longest request or reply (without its terminating NUL) that one message carries.
inline constexpr std::size_t kPipeMaxText = 65534;

// One exchange with the server: connect, send `request` (a NUL-terminated 8-bit text), read
// one reply, disconnect. With `reply` non-null the reply text (NUL-terminated, at most
// 65535 bytes) is handed over there and must be freed with PipeFreeReply; *reply is null
// after a failure. `timeoutMs` 0 waits without limit while the server serves someone else.
// False when there is no server, it dropped the exchange, the time ran out, or the request
// is longer than a message holds (then the pipe is not touched). Any reply, even an empty
// text, means that the server is alive.
bool PipeCall(const char* pipeName, const char* request, char** reply, unsigned timeoutMs);

// Frees a reply of PipeCall; null is allowed.
void PipeFreeReply(char* reply);

struct PipeReplyDeleter {
    void operator()(char* reply) const { PipeFreeReply(reply); }
};
// Owns a reply of PipeCall.
using PipeReply = std::unique_ptr<char, PipeReplyDeleter>;
