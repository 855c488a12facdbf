// The play road of the player view: what the engine opens for a request, the stop, the cache
// purge, the page-URL resolve request and the stream task's status every second.
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMovie>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTemporaryFile>

#include "app_config.h"
#include "app_paths.h"
#include "app_values.h"
#include "ax_player_widget.h"
#include "bt_server_queries.h"
#include "http_server.h"
#include "main_widget_calls.h"
#include "named_objects.h"
#include "page_resolve.h"
#include "platform/regular_file.h"
#include "play_request.h"
#include "play_urls.h"
#include "player_controller.h"
#include "player_loading.h"
#include "stream_cache.h"
#include "task_key.h"
#include "task_status.h"
#include "widget_player_view.h"

namespace {

// A resolve service that never answers must not keep the play waiting for ever.
constexpr int kResolveTimeoutMs = 10000;
constexpr int kStatusMs = 1000;

void CallHistory(const char* method, int type, const QString& url, int position,
                 const QString& title) {
    if (QObject* records = FindNamedObject(QStringLiteral("PlayerRecords")))
        QMetaObject::invokeMethod(records, method, Qt::QueuedConnection, Q_ARG(int, type),
                                  Q_ARG(QString, url), Q_ARG(QString, WatchTime()),
                                  Q_ARG(int, position), Q_ARG(QString, title));
}

QString StreamBase() { return AppValue(QStringLiteral("bturl")).toString(); }

}  // namespace

void WidgetPlayerView::Play(const QVariantMap& videoInfo) {
    qDebug().noquote() << "PlayVideo:" << videoInfo.value(QStringLiteral("url")).toString();
    if (hostWidget_) hostWidget_->setMaximumWidth(1);
    loadingLabel_->show();
    if (QMovie* animation = loadingLabel_->movie()) animation->setPaused(false);

    resumePending_ = true;
    playResult_ = 0;
    Stop(false);
    if (bar_) bar_->EnableControls();
    opened_ = false;

    request_ = videoInfo;
    type_ = videoInfo.value(QStringLiteral("type")).toInt();
    url_ = requestUrl_ = videoInfo.value(QStringLiteral("url")).toString();
    resumePosition_ = ResumePosition(videoInfo.value(QStringLiteral("pos")));
    title_ = videoInfo.value(QStringLiteral("title")).toString();
    ovUrl_ = videoInfo.value(QStringLiteral("ovurl")).toString();
    CallHistory("StartRecord", type_, ovUrl_.isEmpty() ? url_ : ovUrl_, resumePosition_, title_);

    if (IsStreamType(type_) && bar_) bar_->ShowSpeedLabel(true);
    if (overlay_) overlay_->ShrinkToIndicator();
    if (bar_) bar_->SetTitleText(QString());
    CentreOverlay();
    ShowOverlay();
    qDebug().noquote() << "play(" << url_ << "," << type_ << ")";

    PurgeCache();
    // A page address too short to resolve closes the view, and that ends this play too.
    if (!OpenByType()) return;

    RestartTimer(statusTimer_, kStatusMs);
    SendPlaySettings();
    if (overlay_) overlay_->SetPercent(-1);
    duration_ = 0;
    position_ = 0;
    if (!bar_) return;
    bar_->SetTitleText(QStringLiteral("已缓冲0%"));
    bar_->SetPos(0);
    bar_->SetBusy(true);
    bar_->SetBufferRanges({});
}

QString WidgetPlayerView::StreamSource() const {
    if (type_ == 8)
        return PublishedFileUrl(AppValue(QStringLiteral("btroot")).toString(), requestUrl_);
    return url_;
}

bool WidgetPlayerView::OpenByType() {
    switch (type_) {
        case 1:
            return ResolvePageUrl(url_);
        case 2:
            engine_.Open(DirectUrl(url_, AppValue(QStringLiteral("httpsurl")).toString()));
            break;
        case 3: {
            StreamItems items;
            items.source = url_;
            items.httpUrls = request_.value(QStringLiteral("httpurl")).toString();
            items.sources = request_.value(QStringLiteral("sources")).toString();
            items.isPrivate = request_.value(QStringLiteral("private")).toString();
            items.crypt = request_.value(QStringLiteral("crypt")).toString();
            engine_.Open(ResolvedStreamUrl(StreamBase(), items));
            break;
        }
        case 6:
            OpenLocalFile();
            break;
        case 8:
            // The streaming service fetches the torrent from the player's own file server.
            if (!TheHttpServer().Publish(requestUrl_))
                qDebug().noquote() << "torrent file not published:" << requestUrl_;
            url_ = StreamSource();
            engine_.Open(SourceStreamUrl(StreamBase(), url_));
            break;
        case 9:
            engine_.Open(SourceStreamUrl(StreamBase(), url_));
            break;
        default:
            break;
    }
    if (type_ == 3 || type_ == 8) {
        if (overlay_)
            overlay_->SetStatusText(EmptyStatusParagraph(),
                                    QStringLiteral("<b>正在下载种子文件</b>"));
        if (bar_) bar_->SetTitleText(QStringLiteral("已缓冲0%"));
    }
    if (IsStreamType(type_)) CentreOverlay();
    return true;
}

void WidgetPlayerView::OpenLocalFile() {
    // Only a regular file plays, whoever asked (a page's script, the history, the file
    // dialog): the engine opens the name on a thread of its own, where a FIFO would keep it
    // waiting for a writer and a device would feed it without end. Refused, the play fails
    // the way any failed open does, through the engine, and ends on the main page.
    const platform::RegularFile file(QFile::encodeName(url_).toStdString());
    if (file.IsOpen()) {
        engine_.Open(url_);
        return;
    }
    qDebug().noquote() << "local file not played:" << url_ + ":" << file.Error().c_str();
    engine_.Open(QStringLiteral("#"));
}

void WidgetPlayerView::PurgeCache() {
    const QString keep = IsStreamType(type_)
                             ? QString::fromStdString(MakeTaskKey(StreamSource().toStdString()))
                             : QString();
    const int removed =
        PurgeStreamCache(CacheSavePath(QString()), AppWritePath(QStringLiteral("MediaData")), keep,
                         kStreamCacheLimit);
    if (removed > 0) qDebug() << "stream cache purged:" << removed << "entries";
}

void WidgetPlayerView::SendPlaySettings() {
    const std::pair<int, const char*> settings[] = {{8, "0"},   {606, "20"},          {607, "20"},
                                                    {115, "1"}, {613, ";12;65535;0"}, {18, "1"}};
    for (const auto& [id, value] : settings) engine_.SetConfig(id, QString::fromLatin1(value));
}

void WidgetPlayerView::Stop(bool toMain) {
    qDebug() << "WidgetPlayerView Stop";
    engine_.Close();
    if (bar_) bar_->SetSpeedText(QString());
    HideOverlay();
    if (bar_) {
        bar_->Reset();
        bar_->ShowSpeedLabel(false);
        // A play that opens next must not show the time of this one meanwhile.
        bar_->SetTimeText(QString());
    }
    mediaIndex_.clear();
    AbortPendingResolve();
    KillTimer(statusTimer_);
    KillTimer(recordTimer_);
    KillTimer(seekTimer_);
    ShowCursor();
    DropSegmentList();
    if (toMain) CallMainWidget("ShowMain", Qt::DirectConnection);
    if (QObject* records = FindNamedObject(QStringLiteral("PlayerRecords")))
        QMetaObject::invokeMethod(records, "StopRecord", Qt::QueuedConnection);
}

void WidgetPlayerView::PlayParser(const QString& url, int threadid) {
    if (threadid == parserThreadId_) engine_.Open(url);
}

bool WidgetPlayerView::ResolvePageUrl(const QString& url) {
    AbortPendingResolve();
    if (url.size() < 10) {
        close();
        return false;
    }
    QNetworkRequest request(PageResolveRequestUrl(ResolveServiceOrigin(), url));
    request.setTransferTimeout(kResolveTimeoutMs);
    QNetworkReply* reply = network_->get(request);
    reply->setProperty("url", url);
    pendingReply_ = reply;
    return true;
}

void WidgetPlayerView::AbortPendingResolve() {
    // Forgotten first: the abort reports the reply as finished, and only the pending reply
    // may act on its answer.
    QPointer<QNetworkReply> reply = pendingReply_;
    pendingReply_ = nullptr;
    if (reply) reply->abort();
}

void WidgetPlayerView::ReplyFinished(QNetworkReply* reply) {
    reply->deleteLater();
    // An aborted or stale answer belongs to a play that is over: it opens nothing, so that it
    // cannot end the play that replaced it.
    if (reply != pendingReply_) return;
    pendingReply_ = nullptr;
    if (reply->property("url").toString() != url_) return;
    if (reply->error() != QNetworkReply::NoError) {
        qDebug().noquote() << "page not resolved:" << reply->errorString();
        engine_.Open(QStringLiteral("#"));
        return;
    }
    OpenResolved(reply->readAll());
}

void WidgetPlayerView::OpenResolved(const QByteArray& body) {
    QString reason;
    const std::optional<QVector<MediaSegment>> segments = ParseResolveReply(body, &reason);
    if (!segments) {
        qDebug().noquote() << "page not resolved:" << reason;
        engine_.Open(QStringLiteral("#"));
        return;
    }
    if (segments->size() == 1) {
        engine_.Open(segments->first().url);
        return;
    }
    DropSegmentList();
    segmentList_ =
        std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/ovXXXXXX.tmp"));
    if (!segmentList_->open() || segmentList_->write(SegmentListText(*segments)) < 0 ||
        !segmentList_->flush()) {
        qDebug().noquote() << "segment list not written:" << segmentList_->errorString();
        DropSegmentList();
        engine_.Open(QString());
        return;
    }
    segmentList_->close();
    engine_.Open(segmentList_->fileName());
}

void WidgetPlayerView::DropSegmentList() { segmentList_.reset(); }

void WidgetPlayerView::UpdateP2PStatus() {
    QString blockMap = engine_.GetConfig(2203);
    qint64 blockLength = 655360;
    if (IsStreamType(type_)) {
        QByteArray answer;
        QueryTaskInfo(url_, answer);
        const std::optional<TaskStatus> task = ReadTaskStatus(answer);
        if (!task) blockMap.clear();
        if (task && task->bytesHeld != 0) {
            blockMap = task->pieceMap;
            blockLength = task->pieceLength;
            if (bar_ && task->bytesHeld == task->totalSize)
                bar_->ShowSpeedLabel(false);
            else if (bar_)
                bar_->SetSpeedText(SpeedText(task->downloadRate));
        }
        if (task && !opened_ && overlay_) {
            const TaskStatusTexts texts = StatusTexts(*task);
            overlay_->SetStatusText(texts.status, texts.title);
            overlay_->SetPercent(texts.percent);
        }
    }
    UpdateBufferRanges(blockMap, blockLength);
}

void WidgetPlayerView::UpdateBufferRanges(const QString& blockMap, qint64 blockLength) {
    if (!bar_) return;
    bar_->SetBufferRanges(BufferedRanges(blockMap, blockLength, mediaIndex_, duration_));
    bar_->update();
}
