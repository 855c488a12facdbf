// A program the control's tests start: a stand-in desktop program for "-startbt", a holder
// of a named segment, a program that crashes with the crash handler installed, and, when
// copied under the name "orvane_proxy", a host program that records its arguments.
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "crash_dump.h"
#include "platform/shared_memory.h"

namespace {

[[noreturn]] void HoldSegment(const char* key) {
    // A holder must not outlive the test that started it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    platform::UserSegment memory(QString::fromUtf8(key));
    if (!platform::ProbeAndCreateSegment(memory, 1)) std::exit(3);
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
}

// Writes argv[1..] one per line to <ORVANE_PROXY_RECORD_DIR>/<pid>.txt and ends.
int RecordHostProgramArguments(int argc, char** argv) {
    const char* folder = std::getenv("ORVANE_PROXY_RECORD_DIR");
    if (!folder) return 1;
    const std::string file = std::string(folder) + "/" + std::to_string(getpid()) + ".txt";
    std::ofstream out(file + ".tmp");
    for (int i = 1; i < argc; ++i) out << argv[i] << '\n';
    out.close();
    std::rename((file + ".tmp").c_str(), file.c_str());
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
