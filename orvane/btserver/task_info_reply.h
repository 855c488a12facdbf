// The task-information reply of the pipe: the 448-byte task record as standard Base64 (600
// characters), then "," and the piece map when there is one.
#pragma once

#include <QByteArray>

#include "task_info.h"

// The reply for a record that the streaming service filled. The record's piece-map slot on
// the wire says whether a piece map follows; an empty map is sent as none.
QByteArray TaskInfoReply(const ZP2PTaskInfo& record);

// The bytes a reader takes from a reply: the decoded record, followed by the piece map as it
// came (the text after the first ","), so the map starts at byte 448.
QByteArray DecodeTaskInfoReply(const QByteArray& reply);
