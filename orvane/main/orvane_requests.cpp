// The main widget's request side: play requests, the resolution of ov:// addresses through
// the web service, advertisement texts, the promotion ping and the update notice.
#include <QDebug>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

#include "app_config.h"
#include "app_paths.h"
#include "app_values.h"
#include "key_value_store.h"
#include "orvane_widget.h"
#include "platform/ini_file.h"
#include "player_controller.h"
#include "ui_main_widget_ui.h"
#include "web_service_answers.h"
#include "widget_player_view.h"

namespace {

constexpr int kDefaultResolveTimeoutMs = 10000;
constexpr int kFirstAdTextMs = 1000;

int& ResolveTimeoutMs() {
    static int milliseconds = kDefaultResolveTimeoutMs;
    return milliseconds;
}

// Ini values are read raw: a value with commas is one text, not a list.
QString IniText(const QString& file, const char* section, const char* key) {
    return QString::fromStdString(
        platform::IniReadString(AppFilePath(file).toStdString(), section, key, ""));
}

}  // namespace

void SetResolveTimeoutForTesting(int milliseconds) {
    ResolveTimeoutMs() = milliseconds > 0 ? milliseconds : kDefaultResolveTimeoutMs;
}

void orvane::PlayVideo(QVariantMap videoInfo) {
    if (!ui_) return;
    const QString url = videoInfo.value("url").toString().trimmed();
    videoInfo["url"] = url;
    qDebug() << "PlayVideo:" << url;
    lastVideoInfo_ = videoInfo;
    if (IsOvAddress(url)) {
        setOvUrl(url);
        return;
    }
    // The latest request wins: an address still being resolved, or a resolved one whose
    // advertisement page still shows, plays nothing any more.
    AbandonResolve();
    // After the close the view is gone: the widget answers as if idle.
    if (!playerView_) return;
    const bool adShown = ui_->stackedWidget->currentWidget() == ui_->adPage;
    ui_->stackedWidget->setCurrentWidget(playerView_);
    if (adShown) ui_->adWebView->load(QUrl("about:blank"));
    if (!QMetaObject::invokeMethod(playerView_, "Play", Qt::DirectConnection,
                                   Q_ARG(QVariantMap, videoInfo)))
        qDebug() << "the player view cannot play yet";
}

void orvane::OpenFile(QString filePath) { PlayVideo({{"type", 6}, {"url", filePath}}); }

void orvane::PlayRecent() {
    if (!ui_) return;
    if (!lastVideoInfo_.value("url").toString().isEmpty())
        PlayVideo(lastVideoInfo_);
    else
        Bar()->Reset();
}

void orvane::UpdateLastVideoInfo(int pos) { lastVideoInfo_["pos"] = pos; }

int orvane::GetState() { return playerView_ ? playerView_->GetPlayState() : 0; }

QNetworkReply* orvane::Get(const QString& relative, const char* type) {
    QNetworkReply* reply = network_->get(QNetworkRequest(QUrl(BaseUrl(relative))));
    reply->setProperty("type", QString::fromLatin1(type));
    return reply;
}

void orvane::setOvUrl(QString url) {
    if (!network_) return;
    url = url.trimmed();
    // Recorded here, for every caller (the control's property too), so that the play and the
    // history name the address that was resolved.
    ovUrl_ = url;
    // The answer of an earlier address must not play for this one.
    AbandonResolve();
    pendingResolve_ = Get("getvideo.js?seed=" + QString::fromLatin1(EncodeSeed(url)), "getvideo");
    resolveTimer_ = startTimer(ResolveTimeoutMs());
}

void orvane::AbandonResolve() {
    ClearResolvedVideo();
    // Forgotten first: the abort reports the reply as finished, and only the pending reply
    // may act on its answer.
    if (QNetworkReply* abandoned = pendingResolve_.data()) {
        pendingResolve_ = nullptr;
        abandoned->abort();
    }
    if (resolveTimer_ != -1) {
        killTimer(resolveTimer_);
        resolveTimer_ = -1;
    }
}

void orvane::ResolveTimedOut() {
    killTimer(resolveTimer_);
    resolveTimer_ = -1;
    // Aborted, the reply ends as a failed answer.
    if (pendingResolve_) pendingResolve_->abort();
}

void orvane::ReplyFinished(QNetworkReply* reply) {
    const QString type = reply->property("type").toString();
    if (type == "getvideo")
        ResolveFinished(reply);
    else if (type == "adtext")
        AdTextFinished(reply);
    reply->deleteLater();
}

void orvane::ClearResolvedVideo() {
    resolvedUrl_.clear();
    title_.clear();
    sources_.clear();
    httpUrl_.clear();
    private_ = false;
}

void orvane::ResolveFinished(QNetworkReply* reply) {
    // Only the answer being waited for acts: an abandoned or late one opens nothing and
    // leaves the current time-out alone.
    if (reply != pendingResolve_) return;
    pendingResolve_ = nullptr;
    ClearResolvedVideo();
    if (resolveTimer_ != -1) {
        killTimer(resolveTimer_);
        resolveTimer_ = -1;
    }
    if (reply->error() != QNetworkReply::NoError) {
        qDebug() << "getvideo failed:" << reply->errorString();
        return;
    }
    const auto video = ParseResolveAnswer(reply->readAll());
    if (!video) {
        qDebug() << "getvideo: no video in the answer";
        return;
    }
    resolvedUrl_ = video->url;
    title_ = video->title;
    sources_ = video->sources;
    private_ = video->isPrivate;
    httpUrl_ = video->httpUrl;
    if (video->ad.isEmpty())
        ContinuePlay();
    else
        ShowAd(video->ad);
}

void orvane::ContinuePlay() {
    if (!ui_) return;
    // An advertisement page that finishes while another address is being resolved has
    // nothing to continue: the new answer decides.
    if (pendingResolve_) return;
    // Nothing to continue: an advertisement page still shown gives way to the main page, and
    // a play that has replaced it goes on.
    if (resolvedUrl_.isEmpty()) {
        if (ui_->stackedWidget->currentWidget() == ui_->adPage) ShowMain();
        return;
    }
    // An address is resolved once: an answer naming another ov:// address ends the play as
    // a failed one instead of asking the service again and again.
    if (IsOvAddress(resolvedUrl_)) {
        qDebug().noquote() << "getvideo answered another ov:// address, which is not resolved:"
                           << resolvedUrl_;
        ClearResolvedVideo();
        ShowMain();
        return;
    }
    if (playerView_) ui_->stackedWidget->setCurrentWidget(playerView_);
    ui_->adWebView->load(QUrl("about:blank"));
    Bar()->show();
    PlayVideo({{"type", 3},
               {"url", resolvedUrl_},
               {"title", title_},
               {"httpurl", httpUrl_},
               {"sources", sources_},
               {"private", private_},
               {"ovurl", ovUrl_},
               {"crypt", true}});
}

void orvane::RequestAdText() { Get("adtext.js", "adtext"); }

void orvane::RequestPromotion() {
    if (DbContains("promotion")) return;
    const QString id = IniText("..\\cfg\\config.ini", "promotion", "id");
    Get("promotion.html?id=" + QString::fromLatin1(QUrl::toPercentEncoding(id)), "promotion");
    // Once per store, whatever the answer.
    DbSetValue("promotion", true);
}

void orvane::AdTextFinished(QNetworkReply* reply) {
    // A failed answer keeps the stored list rotating.
    if (reply->error() != QNetworkReply::NoError) return;
    const QByteArray body = reply->readAll();
    qDebug() << "adtext:" << QString::fromUtf8(body);
    const auto entries = ParseAdTextAnswer(body);
    if (!entries || entries->isEmpty()) return;
    QVariantList list;
    for (const QVariantMap& entry : *entries) list.append(entry);
    SetAppValue("adTextList", list);
    DbSetValue("adTextList", list);
    StartAdTextRotation();
}

void orvane::StartAdTextRotation() {
    Bar()->SetAdText(QString(), QString());
    QVariantList list = AppValue("adTextList").toList();
    if (list.isEmpty()) list = DbValue("adTextList").toList();
    if (!list.isEmpty()) {
        adTexts_.clear();
        for (const QVariant& entry : list) adTexts_.append(entry.toMap());
    }
    if (adTexts_.isEmpty()) return;
    adTextIndex_ = 0;
    if (adTextTimer_ != -1) killTimer(adTextTimer_);
    adTextTimer_ = startTimer(kFirstAdTextMs);
}

void orvane::ShowNextAdText() {
    killTimer(adTextTimer_);
    adTextTimer_ = -1;
    if (adTexts_.isEmpty()) return;
    const QVariantMap entry = adTexts_.at(adTextIndex_);
    Bar()->SetAdText(entry.value("url").toString(), entry.value("title").toString());
    adTextTimer_ = startTimer(AdTextShowMs(entry.value("time")));
    adTextIndex_ = (adTextIndex_ + 1) % adTexts_.size();
}

bool orvane::IsUpdate() {
    QString text = IniText("..\\cfg\\server.ini", "update", "INFO");
    if (text.isEmpty())
        text =
            tr("There is a new version of the client, click OK to immediately upgrade, click "
               "Cancel and then ask later.");
    const int status = platform::IniReadInt(AppFilePath("..\\cfg\\server.ini").toStdString(),
                                            "update", "STATUS", 0);
    // A notice the user must take gets OK alone, and the update goes ahead whatever is done.
    const QMessageBox::StandardButtons buttons =
        status != 0 ? QMessageBox::Ok : QMessageBox::Ok | QMessageBox::Cancel;
    // On the heap: the box goes with this widget should the widget go while it is open.
    QPointer<QMessageBox> box =
        new QMessageBox(QMessageBox::Information, tr("notice"), text, buttons, this);
    const int answer = box->exec();
    delete box.data();
    return status != 0 || answer == QMessageBox::Ok;
}
