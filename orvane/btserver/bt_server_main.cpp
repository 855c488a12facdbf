#include "bt_server_main.h"

#include <QCoreApplication>
#include <QDebug>
#include <QHostAddress>
#include <QTcpServer>
#include <memory>

#include "app_paths.h"
#include "app_values.h"
#include "msg_thread.h"
#include "platform/shared_memory.h"
#include "shared_memory_segments.h"
#include "streaming_exports.h"
#include "streaming_library.h"

namespace {

// How long the routine waits for the pipe thread to finish the exchange in progress.
constexpr unsigned long kPipeThreadStopMs = 5000;

// The service answers task queries only once its server listens.
bool StreamServiceRunning() {
    ZP2PTaskInfo record{};
    record.cbSize = sizeof(ZP2PTaskInfo);
    if (!P2PGetTaskInfo("", &record)) return false;
    P2PFreeTaskInfoData(&record);
    return true;
}

}  // namespace

int ProbeStreamPort(int first, int last) {
    for (int port = first; port <= last; ++port) {
        QTcpServer probe;
        if (probe.listen(QHostAddress::LocalHost, static_cast<quint16>(port))) return port;
    }
    return last;
}

int StartStreamService(int first, int last) {
    // Another program (another user's BT server starting at the same moment among them) can
    // take the probed port before the service binds it; the service then does not run, and
    // the next free port is tried.
    for (int from = first;;) {
        const int port = ProbeStreamPort(from, last);
        if (!P2PInitServer(port, 0, 0, "", 0, 0, "", 0, 0)) return port;
        if (StreamServiceRunning() || port >= last) return port;
        qDebug() << "stream server could not take port" << port;
        from = port + 1;
    }
}

void BtServerMain() {
    platform::UserSegment marker(QStringLiteral("btserver"));
    if (!platform::ProbeAndCreateSegment(marker, 1)) {
        qDebug() << "BT server not started:" << marker.errorString();
        return;
    }

    if (!StreamingLibraryHandle() && !LoadStreamingLibrary(AppFilePath("Ferrule.dll"))) return;
    qDebug() << "Ferrule.dll Init";

    const int port = StartStreamService(kFirstStreamPort, kLastStreamPort);

    const QString btUrl = QString("http://127.0.0.1:%1/").arg(port);
    SetAppValue("bturl", btUrl);
    qDebug() << "Ferrule.dll ZP2PInitServer";
    SharedMemoryWrite("bturl", btUrl.toUtf8());

    auto thread = std::make_unique<QMsgThread>();
    // Once the pipe is gone ("quit" or a broken pipe) this process serves nobody: it ends,
    // so that its marker does not keep the next player from starting a working BT server.
    const auto quitWhenDone =
        QObject::connect(thread.get(), &QThread::finished, QCoreApplication::instance(),
                         &QCoreApplication::quit, Qt::QueuedConnection);
    thread->start(QThread::InheritPriority);

    QCoreApplication::exec();

    // The loop has ended already; a quit queued by the stop below would end the next one.
    QObject::disconnect(quitWhenDone);
    if (!thread->Stop(kPipeThreadStopMs)) {
        // A client connected but never sent its request, and the thread is still reading
        // it. The thread keeps using its object, so it is left to the process's end.
        qDebug() << "pipe thread did not stop";
        thread.release();
    }
}
