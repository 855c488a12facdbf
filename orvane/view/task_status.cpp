#include "task_status.h"

#include <QCoreApplication>
#include <QStringList>

#include "kvbt_downloader_info.h"
#include "play_texts.h"
#include "task_info.h"

namespace {

QString OpeningTag() {
    return QCoreApplication::translate("WidgetPlayerView",
                                       "<p style=\"color:white;line-height:18px;\">");
}

QString TitleParagraph(const QString& text) {
    return QStringLiteral("<p style=\"font-size:14px;\"><b>%1</b></p>").arg(text);
}

QString Row(const QString& label, const QString& value) {
    return QStringLiteral("<tr><td align=\"left\"><b>%1</b>：</td><td align=\"right\">%2</td></tr>")
        .arg(label, value);
}

QString FiguresTable(const TaskStatus& task) {
    QStringList rows = {
        Row(QStringLiteral("当前连接数"), QString::number(task.connections)),
        Row(QStringLiteral("已下载完成数"), QString::number(task.trackerComplete)),
        Row(QStringLiteral("在线完成数"), QString::number(task.connectedSeeds)),
        Row(QStringLiteral("在线下载数"), QString::number(task.connectedDownloaders)),
        Row(QStringLiteral("当前下载速度"),
            QStringLiteral("%1 kb/s").arg(task.downloadRate / 1024u)),
        Row(QStringLiteral("总大小"), FormatSize(static_cast<double>(task.sizeShown))),
        Row(QStringLiteral("已下载大小"), FormatSize(static_cast<double>(task.bytesDownloaded)))};
    if (task.trackerIncomplete != -1)
        rows << Row(QStringLiteral("Tracker总未完成人数"), QString::number(task.trackerIncomplete));
    if (task.trackerComplete != -1)
        rows << Row(QStringLiteral("Tracker总完成人数"), QString::number(task.trackerComplete));
    return QStringLiteral("<table width=\"100%\" cellspacing=\"0\" border=\"0\">") +
           rows.join(QString()) + QStringLiteral("</table>");
}

}  // namespace

std::optional<TaskStatus> ReadTaskStatus(const QByteArray& answer) {
    if (answer.size() < static_cast<int>(task_info_wire::kWireSize)) return std::nullopt;
    ZP2PTaskInfo record{};
    bool hasPieceMap = false;
    if (!task_info_wire::FromWire(answer.constData(), task_info_wire::kWireSize, record,
                                  &hasPieceMap))
        return std::nullopt;
    using namespace kvbt_info;
    const unsigned char* block = record.info;
    TaskStatus task;
    task.connections = ReadInt32(block, kConnections);
    task.trackerIncomplete = ReadInt32(block, kTrackerIncomplete);
    task.trackerComplete = ReadInt32(block, kTrackerComplete);
    task.connectedSeeds = ReadInt32(block, kConnectedSeeds);
    task.connectedDownloaders = ReadInt32(block, kConnectedDownloaders);
    task.downloadRate = static_cast<quint32>(ReadInt32(block, kDownloadRate));
    task.totalSize = ReadInt64(block, kTotalSize);
    task.bytesHeld = ReadInt64(block, kBytesHeld);
    task.bytesDownloaded = ReadInt64(block, kBytesDownloaded);
    task.piecesHeld = ReadInt32(block, kPiecesHeld);
    task.sizeShown = ReadInt64(block, kTotalSizeAgain);
    task.pieceLength = ReadInt32(block, kPieceLength);
    if (hasPieceMap) task.pieceMap = QString::fromLatin1(answer.mid(task_info_wire::kWireSize));
    return task;
}

QString SpeedText(quint32 bytesPerSecond) {
    return QStringLiteral("%1kb/s").arg(bytesPerSecond / 1024u);
}

QString EmptyStatusParagraph() { return OpeningTag() + QStringLiteral("</p>"); }

TaskStatusTexts StatusTexts(const TaskStatus& task) {
    if (task.piecesHeld == 0)
        return {EmptyStatusParagraph(), TitleParagraph(QStringLiteral("开始下载")), 0};
    const double percent = 3.0 + BufferPercent(3.0, task.bytesDownloaded);
    return {OpeningTag() + FiguresTable(task) + QStringLiteral("</p>"),
            TitleParagraph(QStringLiteral("已缓冲 &nbsp;&nbsp;%1%").arg(percent, 0, 'f', 2)),
            static_cast<int>(percent)};
}
