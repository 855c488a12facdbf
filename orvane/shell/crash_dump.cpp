#include "crash_dump.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/paths.h"
#include "platform/user_files.h"

namespace {

// Everything a signal handler needs is prepared beforehand: it may only call
// async-signal-safe functions, and it cannot allocate.
char g_dumpFolder[4096];
char g_dumpFile[4096];

void WriteText(int fd, const char* text) {
    const ssize_t written = write(fd, text, std::strlen(text));
    (void)written;
}

}  // namespace

void WriteCrashDump(int signalNumber) {
    mkdir(g_dumpFolder, 0755);
    const int fd = open(g_dumpFile, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        char line[64] = "signal ";
        char digits[16];
        int n = 0;
        for (int value = signalNumber; n == 0 || value > 0; value /= 10)
            digits[n++] = static_cast<char>('0' + value % 10);
        size_t at = std::strlen(line);
        while (n > 0) line[at++] = digits[--n];
        line[at++] = '\n';
        line[at] = '\0';
        WriteText(fd, line);
        void* frames[128];
        const int count = backtrace(frames, 128);
        backtrace_symbols_fd(frames, count, fd);
        close(fd);
    }
    // SA_RESETHAND put the default action back: raising again ends the process as the
    // signal would have.
    raise(signalNumber);
}

void InstallCrashDumpHandler() {
    const std::string exe = platform::ExecutablePath();
    // The user's state folder, made now: the handler may only make the last level.
    const std::string folder = platform::FileToWrite(platform::ExecutableDirectory(), "dmp");
    const std::string file = folder + "/" + platform::FileNamePart(exe) + ".dmp";
    if (file.size() >= sizeof(g_dumpFile)) return;
    std::strcpy(g_dumpFolder, folder.c_str());
    std::strcpy(g_dumpFile, file.c_str());
    // backtrace() loads libgcc on first use, which is not safe inside the handler.
    void* warmUp[1];
    backtrace(warmUp, 1);

    struct sigaction action {};
    action.sa_handler = WriteCrashDump;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) sigaction(sig, &action, nullptr);
}
