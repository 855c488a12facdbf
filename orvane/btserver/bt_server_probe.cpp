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

bool StartBtServer() {
    if (IsBtServerRunning()) return true;
    // The path goes as it is, not through a command line that a quote in it would break.
    const auto process =
        platform::StartProcess(AppFilePath("orvane.exe").toStdString(), {"-startbt"});
    QThread::msleep(1000);
    return process != nullptr;
}
