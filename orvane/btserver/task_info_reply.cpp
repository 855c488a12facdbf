#include "task_info_reply.h"

QByteArray TaskInfoReply(const ZP2PTaskInfo& record) {
    ZP2PTaskInfo wireRecord = record;
    const bool hasMap = record.pieceMap && record.pieceMap[0] != '\0';
    if (!hasMap) wireRecord.pieceMap = nullptr;
    const std::string wire = task_info_wire::ToWire(wireRecord);
    QByteArray reply = QByteArray(wire.data(), static_cast<int>(wire.size())).toBase64();
    if (hasMap) reply += ',' + QByteArray(record.pieceMap);
    return reply;
}

QByteArray DecodeTaskInfoReply(const QByteArray& reply) {
    const int comma = reply.indexOf(',');
    if (comma < 0) return QByteArray::fromBase64(reply);
    return QByteArray::fromBase64(reply.left(comma)) + reply.mid(comma + 1);
}
