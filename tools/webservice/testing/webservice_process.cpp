#include "webservice_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <testsupport/loopback.h>
#include <testsupport/temp_dir.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

extern char** environ;

namespace webservice_testing {
namespace {

constexpr int kStartLimitMs = 10000;

// Reads the first line the program writes, waiting at most `limitMs` in all.
std::string ReadFirstLine(int fd, int limitMs) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd item{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&item, 1, static_cast<int>(left.count())) <= 0) break;
        char buffer[64];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) break;
        line.append(buffer, static_cast<size_t>(got));
    }
    return line.substr(0, line.find('\n'));
}

bool WaitForExit(pid_t pid, std::chrono::milliseconds limit, int& status) {
    return testsupport::WaitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, limit);
}

}  // namespace

WebServiceProcess::WebServiceProcess(const std::vector<std::string>& arguments)
    : dir_(std::make_unique<testsupport::TempDir>()), logPath_(dir_->file("requests.log")) {
    std::vector<std::string> all{ProgramPath(),        "--port", "0",
                                 "--exit-with-parent", "--log",  logPath_};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);

    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    output_ = pipeEnds[0];
    if (spawned != 0) {
        pid_ = -1;
        return;
    }
    port_ = std::atoi(ReadFirstLine(output_, kStartLimitMs).c_str());
}

WebServiceProcess::~WebServiceProcess() {
    Stop();
    if (output_ >= 0) ::close(output_);
}

std::optional<int> WebServiceProcess::Stop() {
    if (pid_ <= 0) return std::nullopt;
    int status = 0;
    ::kill(pid_, SIGTERM);
    if (!WaitForExit(pid_, std::chrono::seconds(5), status)) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    port_ = 0;
    if (!WIFEXITED(status)) return std::nullopt;
    return WEXITSTATUS(status);
}

std::string WebServiceProcess::Origin() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

std::string WebServiceProcess::BaseUrl() const { return Origin() + "/Orvane/"; }

std::string WebServiceProcess::Url(const std::string& relative) const {
    return BaseUrl() + relative;
}

std::vector<std::string> WebServiceProcess::Requests() const {
    std::vector<std::string> lines;
    std::istringstream in(testsupport::ReadFile(logPath_));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

int WebServiceProcess::CountRequests(const std::string& part) const {
    int count = 0;
    for (const auto& line : Requests())
        if (line.find(part) != std::string::npos) ++count;
    return count;
}

bool WebServiceProcess::WaitForRequest(const std::string& part,
                                       std::chrono::milliseconds limit) const {
    return testsupport::WaitUntil([&] { return CountRequests(part) > 0; }, limit,
                                  std::chrono::milliseconds(20));
}

std::string WebServiceProcess::ProgramPath() { return WEBSERVICE_PROGRAM; }

std::string WebServiceProcess::SitePath() { return WEBSERVICE_SITE; }

}  // namespace webservice_testing
