// A child program for the platform tests:
//   exit <code>            ends with that exit code
//   sleep <ms>             sleeps, then ends with 0
//   hold-segment <key>     creates the named segment, prints "ready", then waits to be killed
//   argv                   prints each argument on its own line, then ends with 0
#include <QSharedMemory>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/shared_memory.h"

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "exit") == 0) return std::atoi(argv[2]);
    if (argc >= 3 && std::strcmp(argv[1], "sleep") == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "hold-segment") == 0) {
        QSharedMemory memory(QString::fromUtf8(argv[2]));
        if (!platform::ProbeAndCreateSegment(memory, 1)) return 3;
        std::printf("ready\n");
        std::fflush(stdout);
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    if (argc >= 2 && std::strcmp(argv[1], "argv") == 0) {
        for (int i = 2; i < argc; ++i) std::printf("%s\n", argv[i]);
        return 0;
    }
    std::fprintf(stderr, "unknown mode\n");
    return 2;
}
