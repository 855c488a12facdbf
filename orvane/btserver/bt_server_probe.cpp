#include "bt_server_probe.h"

#include <QThread>

#include "app_paths.h"
#include "platform/process.h"
#include "platform/shared_memory.h"

bool IsBtServerRunning() {
    platform::UserSegment memory(QStringLiteral("btserver"));
    // Holding the segment for a moment is the test; `memory` lets it go again at once.
    return !platform::ProbeAndCreateSegment(memory, 1);
}

namespace {

bool StartServerProcess() {
    // The path goes as it is, not through a command line that a quote in it would break.
    return platform::StartProcess(AppFilePath("orvane.exe").toStdString(), {"-startbt"}) != nullptr;
}

}  // namespace

bool StartBtServer() {
    if (IsBtServerRunning()) return true;
    const bool started = StartServerProcess();
    QThread::msleep(kBtServerStartMs);
    return started;
}

bool LaunchBtServer() { return IsBtServerRunning() || StartServerProcess(); }
