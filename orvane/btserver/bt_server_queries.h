// What the player asks the BT server over the pipe. Each call is one synchronous exchange
// that waits while the server serves someone else; without a BT server it fails at once and
// changes nothing.
#pragma once

#include <QByteArray>
#include <QString>

// Asks for the stream base URL; a reply becomes the value "bturl".
void QueryBtUrl();

// Sends the engine-wide speed limits in bytes per second (0: no limit).
void SendSpeedLimit(int download, int upload);

// Asks for the task information of the stream whose "bturl:" value is `url`. With a reply,
// `info` := the 448-byte task record followed by the piece map (empty when the service does
// not know the stream or is not loaded); without one, `info` is left as it was.
void QueryTaskInfo(const QString& url, QByteArray& info);
