#include "pipe_server_handle.h"

#include "pipe_client.h"
#include "platform/named_pipe.h"

PipeServerHandle::PipeServerHandle(std::unique_ptr<platform::PipeServer> server)
    : server_(std::move(server)) {}

PipeServerHandle::~PipeServerHandle() = default;

std::unique_ptr<PipeServerHandle> PipeServerHandle::Create(const std::string& pipeName) {
    auto server = platform::PipeServer::Create(pipeName);
    if (!server) return nullptr;
    return std::make_unique<PipeServerHandle>(std::move(server));
}

PipeServerHandle::ReceiveResult PipeServerHandle::Receive(std::string& request) {
    request.clear();
    if (!server_->WaitForClient()) return ReceiveResult::Closed;
    std::string message;
    if (!server_->ReadMessage(message, kClientReadTimeoutMs)) {
        server_->Disconnect();
        return ReceiveResult::ClientLost;
    }
    // The request is a C text: it ends at its first NUL, and a message that filled the
    // whole buffer loses its last byte to the terminator.
    const std::size_t end = message.find('\0');
    if (end != std::string::npos) message.resize(end);
    if (message.size() > kPipeMaxText + 1) message.resize(kPipeMaxText + 1);
    request = std::move(message);
    return ReceiveResult::Request;
}

bool PipeServerHandle::Reply(const std::string& reply) {
    const bool sent = reply.size() <= kPipeMaxText && server_->WriteMessage(reply);
    server_->Disconnect();
    return sent;
}

void PipeServerHandle::Close() { server_->Shutdown(); }
