// Starting programs, waiting for them, and opening URLs for the user.
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Splits a command line with the Windows rules: blanks separate arguments; "..." groups;
// 2n backslashes before a quote give n backslashes and the quote delimits; 2n+1 give n
// backslashes and a literal quote; backslashes not before a quote are literal; "" inside a
// quoted run gives a literal quote.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// Quotes one argument so that SplitCommandLine gives it back unchanged.
std::string QuoteArgument(const std::string& argument);

// A started child process. Destroying a Process that was not waited for hands the child to a
// background reaper, so no zombie is left behind.
class Process {
public:
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    pid_t Pid() const { return pid_; }
    // Waits up to timeoutMs (negative = without limit). True when the child has ended.
    bool Wait(int timeoutMs = -1);
    // Exit status after a successful Wait: the exit code, or 128 + signal number when the
    // child was killed; std::nullopt before it ended.
    std::optional<int> ExitCode() const { return exitCode_; }
    // Sends SIGKILL (no-op after the child ended).
    void Kill();
    // Hands the child to the background reaper now, which calls `ended` with its exit status
    // (as ExitCode() gives it) on the reaper's thread once the child ends; after a successful
    // Wait, `ended` runs at once on this thread. Wait and Kill then leave the child alone.
    void Release(std::function<void(int exitCode)> ended);

private:
    friend std::unique_ptr<Process> StartProcess(const std::string&,
                                                 const std::vector<std::string>&, bool);
    friend std::unique_ptr<Process> StartProcessFromFile(int, const std::string&,
                                                         const std::vector<std::string>&);
    explicit Process(pid_t pid) : pid_(pid) {}
    pid_t pid_;
    std::optional<int> exitCode_;
    bool released_ = false;
};

// Starts `program` with `arguments` (argv[1..]) through posix_spawn, with the caller's
// environment, current folder and standard streams, and no other descriptors; a name without
// '/' is looked up in PATH. `show` is accepted and ignored (there is no hidden start on
// X11). Null when the program is missing or cannot be started; errno then tells why.
std::unique_ptr<Process> StartProcess(const std::string& program,
                                      const std::vector<std::string>& arguments, bool show = true);

// Starts the executable file open as `programFd` (opened for reading), so that what runs is
// exactly that file, whatever happens to its name meanwhile; `name` is the child's argv[0].
// The child gets the file as descriptor 3 besides the standard three (a script's interpreter
// reads it from there). Null when the file cannot be started; errno then tells why.
std::unique_ptr<Process> StartProcessFromFile(int programFd, const std::string& name,
                                              const std::vector<std::string>& arguments);

// Starts a command line of the form "\"path\" args" (split with SplitCommandLine).
std::unique_ptr<Process> StartCommandLine(const std::string& commandLine, bool show = true);

// Opens an http or https URL for the user with xdg-open (detached). Any other scheme is
// refused: false, nothing started.
bool OpenUrlForUser(const std::string& url);

}  // namespace platform
