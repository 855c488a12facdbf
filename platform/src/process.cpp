#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

extern char** environ;

namespace platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int DecodeStatus(int status) {
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

// Waits for the children that their owners let go without waiting. Only the pids handed
// over are waited for: other parts of the program own other children and their statuses.
class ChildReaper {
public:
    static ChildReaper& Instance() {
        static ChildReaper reaper;
        return reaper;
    }

    ~ChildReaper() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
        // Children still running now are inherited by init when this process ends.
    }

    // `ended`, when given, is called with the child's exit status once it ends.
    void Adopt(pid_t pid, std::function<void(int)> ended = nullptr) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) return;
        children_.push_back({pid, std::move(ended)});
        if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
        wake_.notify_all();
    }

private:
    ChildReaper() = default;

    struct Child {
        pid_t pid;
        std::function<void(int)> ended;
    };

    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stopping_) {
            if (children_.empty()) {
                wake_.wait(lock);
                continue;
            }
            // A child's end is not signalled to us (SIGCHLD belongs to the program), so
            // the pending pids are polled; a short-lived zombie is harmless.
            wake_.wait_for(lock, std::chrono::milliseconds(100));
            std::vector<std::pair<std::function<void(int)>, int>> endings;
            children_.erase(std::remove_if(children_.begin(), children_.end(),
                                           [&endings](Child& child) {
                                               int status = 0;
                                               const pid_t r = waitpid(child.pid, &status, WNOHANG);
                                               if (r == child.pid && child.ended)
                                                   endings.emplace_back(std::move(child.ended),
                                                                        DecodeStatus(status));
                                               return r == child.pid || (r < 0 && errno == ECHILD);
                                           }),
                            children_.end());
            // Outside the lock: a callback may start and release another child.
            lock.unlock();
            for (auto& [ended, exitCode] : endings) ended(exitCode);
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Child> children_;
    bool stopping_ = false;
    std::thread thread_;
};

// What one start needs. `file` >= 0: run that open file (as descriptor 3 in the child)
// instead of looking `program` up.
struct SpawnRequest {
    std::string program;  // also argv[0]
    std::vector<std::string> arguments;
    bool detach = false;  // a session of its own, so that it outlives a hang-up of ours
    int file = -1;
};

constexpr int kProgramFileDescriptor = 3;

bool BuildArgv(const SpawnRequest& request, std::vector<char*>& argv) {
    if (request.program.empty() || request.program.find('\0') != std::string::npos) {
        errno = ENOENT;
        return false;
    }
    argv.reserve(request.arguments.size() + 2);
    argv.push_back(const_cast<char*>(request.program.c_str()));
    for (const auto& argument : request.arguments) {
        if (argument.find('\0') != std::string::npos) {
            errno = EINVAL;
            return false;
        }
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    return true;
}

// posix_spawn reports a failed exec through its result (glibc waits for the exec in the
// child), so a missing program never yields a pid.
bool Spawn(const SpawnRequest& request, pid_t& pid) {
    std::vector<char*> argv;
    if (!BuildArgv(request, argv)) return false;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int firstClosed = STDERR_FILENO + 1;
    if (request.file >= 0) {
        // dup2 onto another number clears close-on-exec, so the file survives the exec.
        posix_spawn_file_actions_adddup2(&actions, request.file, kProgramFileDescriptor);
        firstClosed = kProgramFileDescriptor + 1;
    }
    // The child inherits no other descriptors: an inherited pipe socket or lock file would
    // otherwise outlive its owner.
    posix_spawn_file_actions_addclosefrom_np(&actions, firstClosed);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (request.detach) flags |= POSIX_SPAWN_SETSID;
    posix_spawnattr_setflags(&attributes, flags);

    // The child's own view of descriptor 3 is the open file, whatever its name is now.
    const std::string fromFile = "/proc/self/fd/" + std::to_string(kProgramFileDescriptor);
    const int result = request.file >= 0 ? posix_spawn(&pid, fromFile.c_str(), &actions,
                                                       &attributes, argv.data(), environ)
                                         : posix_spawnp(&pid, request.program.c_str(), &actions,
                                                        &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) {
        errno = result;
        return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    const size_t n = commandLine.size();
    size_t i = 0;
    while (i < n) {
        const char c = commandLine[i];
        if (!quoted && IsBlank(c)) {
            if (inArgument) arguments.push_back(std::move(current));
            current.clear();
            inArgument = false;
            ++i;
            continue;
        }
        inArgument = true;
        if (c == '\\') {
            size_t end = i;
            while (end < n && commandLine[end] == '\\') ++end;
            const size_t count = end - i;
            if (end < n && commandLine[end] == '"') {
                current.append(count / 2, '\\');
                if (count % 2 == 1) {
                    current += '"';
                    ++end;
                }
                // An even run leaves the quote to delimit on the next round.
            } else {
                current.append(count, '\\');
            }
            i = end;
        } else if (c == '"') {
            if (quoted && i + 1 < n && commandLine[i + 1] == '"') {
                current += '"';
                i += 2;
            } else {
                quoted = !quoted;
                ++i;
            }
        } else {
            current += c;
            ++i;
        }
    }
    if (inArgument) arguments.push_back(std::move(current));
    return arguments;
}

std::string QuoteArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos)
        return argument;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count double only where a quote follows them.
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

Process::~Process() {
    if (exitCode_ || released_) return;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == 0) ChildReaper::Instance().Adopt(pid_);
}

bool Process::Wait(int timeoutMs) {
    if (exitCode_) return true;
    // The reaper owns a released child's pid, which may name another process by now.
    if (released_) return false;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    auto step = std::chrono::milliseconds(1);
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(pid_, &status, timeoutMs < 0 ? 0 : WNOHANG);
        if (r == pid_) {
            exitCode_ = DecodeStatus(status);
            return true;
        }
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        const auto now = Clock::now();
        if (now >= deadline) return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(step, deadline - now));
        step = std::min(step * 2, std::chrono::milliseconds(20));
    }
}

void Process::Release(std::function<void(int exitCode)> ended) {
    if (released_) return;
    released_ = true;
    if (exitCode_) {
        if (ended) ended(*exitCode_);
        return;
    }
    ChildReaper::Instance().Adopt(pid_, std::move(ended));
}

void Process::Kill() {
    // The pid stays ours until it is waited for, so it cannot name another process here.
    if (!exitCode_ && !released_) kill(pid_, SIGKILL);
}

std::unique_ptr<Process> StartProcess(const std::string& program,
                                      const std::vector<std::string>& arguments, bool show) {
    // There is no hidden start on X11: a program shows its own windows or none.
    (void)show;
    pid_t pid = 0;
    if (!Spawn({program, arguments}, pid)) return nullptr;
    return std::unique_ptr<Process>(new Process(pid));
}

std::unique_ptr<Process> StartProcessFromFile(int programFd, const std::string& name,
                                              const std::vector<std::string>& arguments) {
    if (programFd < 0) {
        errno = EBADF;
        return nullptr;
    }
    // Moved above 3 first: dup2 onto its own number would keep close-on-exec set.
    const int moved = fcntl(programFd, F_DUPFD_CLOEXEC, kProgramFileDescriptor + 1);
    if (moved < 0) return nullptr;
    pid_t pid = 0;
    const bool started = Spawn({name, arguments, false, moved}, pid);
    const int error = errno;
    close(moved);
    errno = error;
    if (!started) return nullptr;
    return std::unique_ptr<Process>(new Process(pid));
}

std::unique_ptr<Process> StartCommandLine(const std::string& commandLine, bool show) {
    std::vector<std::string> arguments = SplitCommandLine(commandLine);
    if (arguments.empty()) {
        errno = ENOENT;
        return nullptr;
    }
    const std::string program = arguments.front();
    arguments.erase(arguments.begin());
    return StartProcess(program, arguments, show);
}

bool OpenUrlForUser(const std::string& url) {
    const auto colon = url.find("://");
    if (colon == std::string::npos || colon + 3 >= url.size()) return false;
    std::string scheme = url.substr(0, colon);
    for (auto& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (scheme != "http" && scheme != "https") return false;
    // The URL comes from a web page: it travels as one argument, never through a shell.
    pid_t pid = 0;
    if (!Spawn({"xdg-open", {url}, true}, pid)) return false;
    ChildReaper::Instance().Adopt(pid);
    return true;
}

}  // namespace platform
