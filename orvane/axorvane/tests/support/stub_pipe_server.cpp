#include "stub_pipe_server.h"

#include "pipe_client.h"
#include "platform/named_pipe.h"

namespace webroadtest {

StubPipeServer::StubPipeServer(Answer answer)
    : answer_(std::move(answer)), server_(platform::PipeServer::Create(kBtServerPipeName)) {
    if (server_) thread_ = std::thread([this] { Run(); });
}

StubPipeServer::~StubPipeServer() {
    if (!server_) return;
    server_->Shutdown();
    thread_.join();
}

void StubPipeServer::Run() {
    while (server_->WaitForClient()) {
        std::string request;
        if (server_->ReadMessage(request)) {
            {
                std::lock_guard<std::mutex> guard(lock_);
                requests_.push_back({request, std::chrono::steady_clock::now()});
            }
            if (const std::optional<std::string> reply = answer_(request))
                server_->WriteMessage(*reply);
        }
        server_->Disconnect();
    }
}

std::vector<StubPipeServer::Request> StubPipeServer::Requests() const {
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
}

std::vector<std::string> StubPipeServer::Texts() const { return TextsStartingWith(""); }

std::vector<std::string> StubPipeServer::TextsStartingWith(const std::string& prefix) const {
    std::vector<std::string> texts;
    for (const Request& r : Requests())
        if (r.text.compare(0, prefix.size(), prefix) == 0) texts.push_back(r.text);
    return texts;
}

namespace {

// The value of `key` in the arguments after "::" ("" when absent).
std::string Argument(const std::string& request, const std::string& key) {
    const std::size_t args = request.find("::");
    if (args == std::string::npos) return "";
    const std::size_t at = request.find(key + ":", args + 2);
    if (at == std::string::npos) return "";
    const std::size_t from = at + key.size() + 1;
    return request.substr(from, request.find(',', from) - from);
}

}  // namespace

StubPipeServer::Answer WebRoadAnswer(std::function<std::string(const std::string& win)> urls,
                                     std::function<std::string(const std::string& win)> states) {
    return [urls, states](const std::string& request) -> std::optional<std::string> {
        const std::string command = request.substr(0, request.find("::"));
        if (command == "bturl") return std::string("http://127.0.0.1:17766/");
        if (command == "play" || command == "seturl" || command == "setstate")
            return std::string("0");
        if (command == "geturl") return urls(Argument(request, "win"));
        if (command == "getstate") return states(Argument(request, "win"));
        return std::string();
    };
}

}  // namespace webroadtest
