// The loading page: covers the time in which the home page loads and the web configuration
// arrives. A spinning indicator and a status line while loading; "Try again" and "Close" when
// the home page failed; once it has loaded, the main widget switches to it, but never before
// the page has been shown for 1000 ms. The web configuration, when it arrives, is stored
// (web_config.h), the home page is loaded again and the update watcher is started.
//
// Whoever uses it connects WebLoaded to the home page's loadFinished(bool) and hands it the
// web-configuration reply (WaitForWebConfig, or ReplyFinished connected to its manager).
// All on the user-interface thread.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>
#include <memory>

class QNetworkReply;
namespace Ui {
class AppLoading;
}

class AppLoading : public QWidget {
    Q_OBJECT

public:
    explicit AppLoading(QWidget* parent = nullptr);
    ~AppLoading() override;

    // Handles `reply`, the web configuration, when it ends; one still running after
    // `timeoutMs` is aborted (and handled as failed). A reply still pending is aborted first.
    void WaitForWebConfig(QNetworkReply* reply, int timeoutMs);

public slots:
    void WebLoaded(bool ok);
    void CloseClicked();
    void RetryClicked();
    void ReplyFinished(QNetworkReply* reply);

protected:
    void timerEvent(QTimerEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void SwitchToWebPage();
    void ShowLoading();

    std::unique_ptr<Ui::AppLoading> ui_;
    QElapsedTimer shown_;  // since the page was shown
    int minimumTimer_ = -1;
    QPointer<QNetworkReply> pendingReply_;
    int timeoutTimer_ = -1;
    QPointer<QObject> homePage_;  // the page whose load results are followed
};
