#include "pipe_client.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/named_pipe.h"

bool PipeCall(const char* pipeName, const char* request, char** reply, unsigned timeoutMs) {
    if (reply) *reply = nullptr;
    if (!pipeName || !request) return false;
    const std::size_t length = std::strlen(request);
    if (length > kPipeMaxText) return false;

    std::string text;
    if (!platform::PipeCall(pipeName, std::string(request, length), reply ? &text : nullptr,
                            timeoutMs))
        return false;
    if (reply) {
        // A reply buffer as big as a message, always NUL-terminated even when the reply
        // filled it.
        char* buffer = static_cast<char*>(std::calloc(platform::kPipeBufferSize, 1));
        if (!buffer) return false;
        std::memcpy(buffer, text.data(), std::min(text.size(), platform::kPipeBufferSize - 1));
        *reply = buffer;
    }
    return true;
}

void PipeFreeReply(char* reply) { std::free(reply); }
