// A program the control's tests start: a stand-in desktop program for "-startbt", a holder
// of a named segment, a program that crashes with the crash handler installed, and, when
// copied under the name "orvane_proxy", a host program that records its arguments (and, when
// asked, runs on as long as a real one would). As a second player on the same store:
//   history <install folder> <name>   prints "ready", waits for a line on stdin, then records
//                                     25 plays "/videos/<name>-<i>" (pos i) in the history
//   store-write <install folder> <key>
//                                     prints "ready", waits for a line on stdin, then stores
//                                     the key with itself as value; 0 when it reads it back
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QApplication>
#include <QDateTime>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include "app_paths.h"
#include "crash_dump.h"
#include "key_value_store.h"
#include "platform/shared_memory.h"
#include "player_records.h"
#include "window/handle.h"
#include "window/x11_window.h"

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

// The test starts several of these and lets them go at once with a line on stdin; without
// the test (stdin closed) they end.
bool ReadyAndWait(const char* installFolder) {
    SetAppDirectoryForTesting(QString::fromLocal8Bit(installFolder));
    std::printf("ready\n");
    std::fflush(stdout);
    std::string line;
    return static_cast<bool>(std::getline(std::cin, line));
}

int WriteHistory(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!ReadyAndWait(argv[2])) return 2;
    PlayerRecords records;
    for (int i = 0; i < 25; ++i)
        records.InsertRecord(6, QString("/videos/%1-%2").arg(argv[3]).arg(i),
                             QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss.zzz"), i,
                             QString());
    return 0;
}

int WriteStore(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (!ReadyAndWait(argv[2])) return 2;
    const QString key = QString::fromLocal8Bit(argv[3]);
    DbSetValue(key, key);
    return DbValue(key) == QVariant(key) ? 0 : 3;
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
    if (argc >= 4 && std::strcmp(argv[1], "history") == 0) return WriteHistory(argc, argv);
    if (argc >= 4 && std::strcmp(argv[1], "store-write") == 0) return WriteStore(argc, argv);
    std::fprintf(stderr, "unknown mode\n");
    return 2;
}
