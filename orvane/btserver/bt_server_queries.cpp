#include "bt_server_queries.h"

#include "app_values.h"
#include "pipe_client.h"
#include "task_info_reply.h"

namespace {

// Requests and replies are UTF-8 on both sides, so a URL outside Latin-1 still names its
// task in the streaming service.
bool Ask(const QString& request, QByteArray* reply) {
    char* raw = nullptr;
    const bool ok =
        PipeCall(kBtServerPipeName, request.toUtf8().constData(), reply ? &raw : nullptr, 0);
    const PipeReply owned(raw);
    if (ok && reply) *reply = QByteArray(owned.get());
    return ok;
}

}  // namespace

void QueryBtUrl() {
    QByteArray reply;
    if (Ask("bturl::", &reply)) SetAppValue("bturl", QString::fromUtf8(reply));
}

void SendSpeedLimit(int download, int upload) {
    Ask(QString("speedlimit::download:%1,upload:%2").arg(download).arg(upload), nullptr);
}

void QueryTaskInfo(const QString& url, QByteArray& info) {
    QByteArray reply;
    if (Ask("gettaskinfo::url:" + url, &reply)) info = DecodeTaskInfoReply(reply);
}
