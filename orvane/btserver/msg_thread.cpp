#include "msg_thread.h"

#include <QDebug>

#include "app_paths.h"
#include "app_values.h"
#include "pipe_arguments.h"
#include "pipe_client.h"
#include "pipe_server_handle.h"
#include "streaming_exports.h"
#include "task_info_reply.h"

namespace {

QString Utf8Value(const QByteArray& arguments, const char* key) {
    return QString::fromUtf8(PipeArgValue(arguments, key, ','));
}

}  // namespace

QMsgThread::QMsgThread(QObject* parent)
    : QThread(parent), m_btUrl(AppValue("bturl").toString().toUtf8()) {}

QMsgThread::~QMsgThread() { Stop(); }

bool QMsgThread::Stop(unsigned long timeoutMs) {
    {
        std::lock_guard<std::mutex> guard(m_pipeLock);
        m_stopping = true;
        if (m_pipe) m_pipe->Close();
    }
    return wait(timeoutMs);
}

void QMsgThread::run() {
    PipeServerHandle* pipe = nullptr;
    {
        auto created = PipeServerHandle::Create(kBtServerPipeName);
        if (!created) {
            qDebug() << "pipe cannot be created";
            return;
        }
        std::lock_guard<std::mutex> guard(m_pipeLock);
        if (m_stopping) return;
        m_pipe = std::move(created);
        pipe = m_pipe.get();
    }

    for (;;) {
        std::string request;
        const auto received = pipe->Receive(request);
        if (received == PipeServerHandle::ReceiveResult::Closed) break;
        // A client that went away without a request costs nothing but its turn.
        if (received == PipeServerHandle::ReceiveResult::ClientLost) continue;
        QByteArray reply;
        const bool goOn = HandleCommand(QByteArray::fromStdString(request), reply);
        pipe->Reply(reply.toStdString());
        if (!goOn) break;
    }

    std::lock_guard<std::mutex> guard(m_pipeLock);
    m_pipe.reset();
}

bool QMsgThread::HandleCommand(const QByteArray& request, QByteArray& reply) {
    const QByteArray command = PipeCommand(request);
    const QByteArray arguments = PipeArguments(request);
    reply.clear();

    if (command == "quit") return false;

    if (command == "speedlimit") {
        P2PSetSpeedLimit(Utf8Value(arguments, "download").toInt(),
                         Utf8Value(arguments, "upload").toInt());
        return true;
    }
    if (command == "gettaskinfo") {
        ZP2PTaskInfo record{};
        record.cbSize = sizeof(ZP2PTaskInfo);
        // The URL goes on as the bytes that came: UTF-8 on both sides of the pipe.
        const QByteArray url = PipeArgValue(arguments, "url", ',');
        if (P2PGetTaskInfo(url.constData(), &record)) {
            reply = TaskInfoReply(record);
            P2PFreeTaskInfoData(&record);
        }
        return true;
    }
    if (command == "freetaskinfo") return true;
    if (command == "bturl") {
        reply = m_btUrl;
        return true;
    }
    if (command == "play") {
        const QString win = Utf8Value(arguments, "win");
        const QString url = Utf8Value(arguments, "url");
        // The window's running host program plays the URL once its "geturl" brings it.
        if (hostPrograms.Play(AppFilePath("orvane_proxy.exe"), win, url) ==
            HostPrograms::Outcome::WindowHasOne)
            urls.Set(win, url);
        reply = "0";
        return true;
    }
    if (command == "seturl") {
        urls.Set(Utf8Value(arguments, "win"), Utf8Value(arguments, "url"));
        reply = "0";
        return true;
    }
    if (command == "geturl") {
        reply = urls.Get(Utf8Value(arguments, "win")).toUtf8();
        return true;
    }
    if (command == "setstate") {
        states.Set(Utf8Value(arguments, "win"), Utf8Value(arguments, "state"));
        reply = "0";
        return true;
    }
    if (command == "getstate") {
        reply = states.Get(Utf8Value(arguments, "win")).toUtf8();
        return true;
    }
    return true;
}
