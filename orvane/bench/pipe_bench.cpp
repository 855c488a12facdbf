// Round-trip time of one pipe exchange: a "getstate" request answered by the BT server's pipe
// thread, 10,000 times, from a private runtime folder.
//
//   orvane_pipe_bench [calls]
#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "msg_thread.h"
#include "pipe_client.h"
#include "testsupport/loopback.h"
#include "testsupport/temp_dir.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int calls = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    testsupport::TempDir runtime;
    testsupport::ScopedEnv runtimeDir("XDG_RUNTIME_DIR", runtime.path());

    QMsgThread server;
    server.start();
    const bool up = testsupport::WaitUntil([] {
        char* reply = nullptr;
        const bool ok = PipeCall(kBtServerPipeName, "setstate::win:1,state:2", &reply, 1000);
        PipeFreeReply(reply);
        return ok;
    });
    if (!up) {
        std::fprintf(stderr, "the pipe server did not come up\n");
        return 1;
    }

    using Clock = std::chrono::steady_clock;
    std::vector<double> micros;
    micros.reserve(static_cast<std::size_t>(calls));
    int failed = 0;
    for (int i = 0; i < calls; ++i) {
        char* reply = nullptr;
        const auto start = Clock::now();
        const bool ok = PipeCall(kBtServerPipeName, "getstate::win:1", &reply, 0);
        const auto end = Clock::now();
        if (!ok || reply[0] != '2') ++failed;
        PipeFreeReply(reply);
        micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    server.Stop(5000);

    std::sort(micros.begin(), micros.end());
    const auto at = [&](double q) {
        return micros[std::min(micros.size() - 1, static_cast<std::size_t>(q * micros.size()))];
    };
    std::printf(
        "getstate round trip over %d calls: median %.1f us, p99 %.1f us, max %.1f us, "
        "failed %d\n",
        calls, at(0.5), at(0.99), micros.back(), failed);
    return failed == 0 ? 0 : 1;
}
