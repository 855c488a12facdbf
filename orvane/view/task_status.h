// A stream task's progress as the BT server reports it ("gettaskinfo": the 448-byte task
// record, then its piece map), and the texts the player view makes of it.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

struct TaskStatus {
    qint32 connections = 0;
    qint32 trackerIncomplete = -1;  // -1: the tracker did not say
    qint32 trackerComplete = -1;
    qint32 connectedSeeds = 0;
    qint32 connectedDownloaders = 0;
    quint32 downloadRate = 0;  // bytes per second
    qint64 totalSize = 0;
    qint64 bytesHeld = 0;
    qint64 bytesDownloaded = 0;
    qint32 piecesHeld = 0;
    qint64 sizeShown = 0;  // the torrent's size as the task table shows it
    qint32 pieceLength = 0;
    QString pieceMap;  // one "0" or "1" per piece; empty when the record has none
};

// Reads the record through the shared task-record reader. An answer shorter than the
// record, or a record that is not one, holds no information: nothing.
std::optional<TaskStatus> ReadTaskStatus(const QByteArray& answer);

// "<n>kb/s" for a rate in bytes per second.
QString SpeedText(quint32 bytesPerSecond);

// What the loading overlay gets while the video is not open yet.
struct TaskStatusTexts {
    QString status;  // an HTML paragraph: the task's figures as a table, or empty
    QString title;   // an HTML paragraph: "开始下载" or the buffered percentage
    int percent = 0;
};
TaskStatusTexts StatusTexts(const TaskStatus& task);

// The status paragraph with nothing in it.
QString EmptyStatusParagraph();
