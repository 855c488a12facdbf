// A program the control's tests start: a stand-in desktop program for "-startbt", a holder
// of a named segment, a program that crashes with the crash handler installed, and, when
// copied under the name "orvane_proxy", a host program that records its arguments (and, when
// asked, runs on as long as a real one would).
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QSharedMemory>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "crash_dump.h"
#include "platform/shared_memory.h"
#include "window/handle.h"
#include "window/x11_window.h"

namespace {

[[noreturn]] void HoldSegment(const char* key) {
    // A holder must not outlive the test that started it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    QSharedMemory memory(QString::fromUtf8(key));
    if (!platform::ProbeAndCreateSegment(memory, 1)) std::exit(3);
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}

// With ORVANE_PROXY_HOLD_SECONDS set, a host program stand-in runs on as a real one does while
// its target window exists (on a display), or until <record dir>/<pid>.release appears, at
// most that many seconds.
void HoldLikeAHostProgram(const std::string& folder, const char* window) {
    const char* seconds = std::getenv("ORVANE_PROXY_HOLD_SECONDS");
    if (!seconds) return;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const auto handle = platform::window::ParseHandle(window ? window : "");
    const bool watch = handle && platform::window::HasDisplay();
    const std::string release = folder + "/" + std::to_string(getpid()) + ".release";
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(seconds));
    while (std::chrono::steady_clock::now() < end && !std::ifstream(release)) {
        if (watch && !platform::window::IsWindow(*handle)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

// Writes argv[1..] one per line to <ORVANE_PROXY_RECORD_DIR>/<pid>.txt and ends.
int RecordHostProgramArguments(int argc, char** argv) {
    const char* folder = std::getenv("ORVANE_PROXY_RECORD_DIR");
    if (!folder) return 1;
    const std::string file = std::string(folder) + "/" + std::to_string(getpid()) + ".txt";
    std::ofstream out(file + ".tmp");
    const char* window = nullptr;
    for (int i = 1; i < argc; ++i) {
        out << argv[i] << '\n';
        if (std::strncmp(argv[i], "-win=", 5) == 0) window = argv[i] + 5;
    }
    out.close();
    std::rename((file + ".tmp").c_str(), file.c_str());
    HoldLikeAHostProgram(folder, window);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* name = std::strrchr(argv[0], '/');
    if (std::strcmp(name ? name + 1 : argv[0], "orvane_proxy") == 0)
        return RecordHostProgramArguments(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "-startbt") == 0) {
        // Records "<pid>\n<argv[0]>\n<argv[1]>..." where the test asked, then serves as the
        // running BT server.
        if (const char* record = std::getenv("ORVANE_TEST_RECORD")) {
            std::ofstream out(std::string(record) + ".tmp");
            out << getpid() << '\n';
            for (int i = 0; i < argc; ++i) out << argv[i] << '\n';
            out.close();
            std::rename((std::string(record) + ".tmp").c_str(), record);
        }
        HoldSegment("btserver");
    }
    if (argc >= 3 && std::strcmp(argv[1], "hold-segment") == 0) HoldSegment(argv[2]);
    if (argc >= 2 && std::strcmp(argv[1], "crash") == 0) {
        InstallCrashDumpHandler();
        raise(SIGSEGV);
        return 0;
    }
    std::fprintf(stderr, "unknown mode\n");
    return 2;
}
