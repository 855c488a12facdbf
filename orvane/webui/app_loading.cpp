#include "app_loading.h"

#include <QDebug>
#include <QNetworkReply>
#include <QTimerEvent>

#include "main_widget_calls.h"
#include "named_objects.h"
#include "ui_app_loading.h"
#include "update_watcher.h"
#include "web_config.h"

namespace {

constexpr qint64 kMinimumDisplayMs = 1000;

}  // namespace

AppLoading::AppLoading(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::AppLoading>()) {
    ui_->setupUi(this);
    ui_->widgetLoading->show();
    ui_->widgetLoading->setColor(QColor(255, 255, 255, 255));
    ui_->buttonRetry->hide();
    connect(ui_->buttonClose, &QPushButton::clicked, this, &AppLoading::CloseClicked);
    connect(ui_->buttonRetry, &QPushButton::clicked, this, &AppLoading::RetryClicked);
}

AppLoading::~AppLoading() = default;

void AppLoading::showEvent(QShowEvent*) {
    shown_.start();
    ui_->widgetLoading->startAnimation();
    ui_->labelInfo->setText(tr("Orvane Demo is initializing, please wait..."));
}

void AppLoading::hideEvent(QHideEvent*) { ui_->widgetLoading->stopAnimation(); }

void AppLoading::WebLoaded(bool ok) {
    if (!ok) {
        qDebug() << "WebLoaded failed!";
        ui_->widgetLoading->stopAnimation();
        ui_->widgetLoading->hide();
        ui_->buttonRetry->show();
        ui_->labelInfo->setText(tr("Video list load failed, please try again..."));
        return;
    }
    qDebug() << "WebLoaded success!";
    if (sender()) homePage_ = sender();
    // A page never shown has nothing left to cover.
    const qint64 elapsed = shown_.isValid() ? shown_.elapsed() : kMinimumDisplayMs;
    if (elapsed >= kMinimumDisplayMs) {
        SwitchToWebPage();
        return;
    }
    if (minimumTimer_ != -1) killTimer(minimumTimer_);
    minimumTimer_ = startTimer(static_cast<int>(kMinimumDisplayMs - elapsed), Qt::PreciseTimer);
}

void AppLoading::SwitchToWebPage() {
    CallMainWidget("SwitchToWebPage", Qt::QueuedConnection);
    // Later loads of the home page (its own reloads) switch nothing again.
    if (homePage_) disconnect(homePage_, SIGNAL(loadFinished(bool)), this, nullptr);
    homePage_ = nullptr;
}

void AppLoading::timerEvent(QTimerEvent* event) {
    if (event->timerId() == minimumTimer_) {
        killTimer(minimumTimer_);
        minimumTimer_ = -1;
        SwitchToWebPage();
    } else if (event->timerId() == timeoutTimer_) {
        killTimer(timeoutTimer_);
        timeoutTimer_ = -1;
        // Ends the reply with an error, so ReplyFinished handles it as failed.
        if (pendingReply_) pendingReply_->abort();
    }
}

void AppLoading::ShowLoading() {
    ui_->buttonRetry->hide();
    ui_->labelInfo->setText(tr("Orvane Demo is initializing, please wait..."));
    ui_->widgetLoading->startAnimation();
    ui_->widgetLoading->show();
}

void AppLoading::RetryClicked() {
    ShowLoading();
    if (QObject* home = FindNamedObject("BrowserPage"))
        QMetaObject::invokeMethod(home, "Home", Qt::QueuedConnection);
}

void AppLoading::CloseClicked() { CallMainWidget("close", Qt::QueuedConnection); }

void AppLoading::WaitForWebConfig(QNetworkReply* reply, int timeoutMs) {
    if (!reply) return;
    if (pendingReply_) pendingReply_->abort();
    pendingReply_ = reply;
    if (reply->isFinished()) {
        ReplyFinished(reply);
        return;
    }
    connect(reply, &QNetworkReply::finished, this, [this, reply] { ReplyFinished(reply); });
    if (timeoutTimer_ != -1) killTimer(timeoutTimer_);
    timeoutTimer_ = startTimer(timeoutMs);
}

void AppLoading::ReplyFinished(QNetworkReply* reply) {
    if (!reply) return;
    if (timeoutTimer_ != -1) {
        killTimer(timeoutTimer_);
        timeoutTimer_ = -1;
    }
    if (reply->error() != QNetworkReply::NoError)
        qDebug() << "update webconfig failed:" << reply->errorString();
    else
        StoreWebConfig(reply->readAll());
    // After a failure too: the home page is loaded again and the watcher started.
    if (QObject* home = FindNamedObject("BrowserPage"))
        QMetaObject::invokeMethod(home, "Home", Qt::QueuedConnection);
    if (LoadUpdateWatcher()) StartUpdateWatcher(UpdateNotify);
    reply->deleteLater();
    pendingReply_ = nullptr;
}
