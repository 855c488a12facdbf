// The player's main widget: the whole visible player inside the control. It carries the form
// (title bar, player page with the picture, the advertisement page, the history panel and the
// control bar, and the show page), the player view, the menus, and the request side: every
// play request ends in PlayVideo; ov:// addresses are resolved through the web service with
// their advertisement page; advertisement texts rotate in the control bar; a file handed over
// UDP 127.0.0.1:54331 plays here.
//
// Everything runs on the user-interface thread. Other parts call the invokable methods by
// name through the main-widget pointer, queued.
#pragma once

#include <QMap>
#include <QNetworkReply>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <QUrl>
#include <QVariantMap>
#include <QVector>
#include <QWidget>
#include <memory>

#include "drag_area.h"

class QAction;
class QMenu;
class QNetworkAccessManager;
class QUdpSocket;
class PlayerController;
class WidgetPlayerView;
struct ResolvedVideo;
namespace Ui {
class MainWidgetUi;
}

class orvane : public QWidget {
    Q_OBJECT

public:
    explicit orvane(QWidget* parent = nullptr);
    ~orvane() override;

    // The pointer is over the part of the window by which it is moved or resized: asked by
    // the player view for pointer input on the picture.
    bool IsInDragArea();

    // The map of the latest play request (after trimming), with the position last reported.
    QVariantMap LastVideoInfo() const { return lastVideoInfo_; }

    // For a host that shows the control in a top-level window of its own (the desktop
    // program): the title bar, with the main menu and the window's buttons, and the history
    // button. Inside a host's page neither is shown; full screen still hides the title bar.
    void ShowWindowControls();

public slots:
    void WebLoaded(bool ok);
    void TitleBarClicked();
    void RecordsClicked(bool shrink);
    void SysMenuTriggered(QAction* action);
    void TrayActivated(QSystemTrayIcon::ActivationReason reason);
    // Takes one datagram of the hand-off socket: a path of this user's to play.
    void ReadPendingDatagrams();
    void ReplyFinished(QNetworkReply* reply);
    void LoadFinished(bool ok);
    void JavaScriptWindowObjectCleared();
    void MainTabClicked();
    void LinkClicked(QUrl url);

public:
    // Asks the user whether to update now, from the notice in "..\cfg\server.ini".
    Q_INVOKABLE bool IsUpdate();
    Q_INVOKABLE void StayOnTop(bool val);
    // Plays the video the last resolve answered, once its advertisement page is done.
    Q_INVOKABLE void ContinuePlay();
    Q_INVOKABLE void SwitchBarPage(QObject* obj);
    // Resolves an ov:// address through the web service; a new call abandons the pending one.
    Q_INVOKABLE void setOvUrl(QString url);
    Q_INVOKABLE void ShowScreenMenu(bool subtitles);
    Q_INVOKABLE void ShowScreenMenu();
    Q_INVOKABLE void OpenFile(QString filePath);
    // Runs the menu command whose entry text is `title`.
    Q_INVOKABLE void MenuAction(QString title);
    // The player view's play state; 0 once the view is gone.
    Q_INVOKABLE int GetState();
    Q_INVOKABLE void SwitchToWebPage();
    Q_INVOKABLE void Max();
    // The one entry of every play request (video-info map: "type", "url", "title", ...).
    Q_INVOKABLE void PlayVideo(QVariantMap videoInfo);
    Q_INVOKABLE void ShowMain();
    Q_INVOKABLE void ShowAd(QString url);
    Q_INVOKABLE void ShowFullScreen();
    Q_INVOKABLE void ShowNormal();
    Q_INVOKABLE void PlayRecent();
    Q_INVOKABLE void UpdateLastVideoInfo(int pos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // Taking hold of the frameless window by its drag area.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Construction, in order.
    void BuildForm();
    void CreatePlayerView();
    void ConnectForm();
    void CreateMenus();
    void ApplySettings();
    void CreateHandOffSocket();
    void CreateNetwork();
    // Makes the tray and the focus advertisement window (adWindow_, adFocusWindow_).
    void CreateAdWindows();
    void DeleteOwnedWindows();
    // The BT keep-alive timer's work: follow the BT server's URL, or start it again.
    void KeepBtServerAlive();

    // Request side.
    void RequestPromotion();
    void RequestAdText();
    void StartAdTextRotation();
    void ShowNextAdText();
    // Forgets the address being resolved and its answer; a pending request is aborted.
    void AbandonResolve();
    void ResolveTimedOut();
    void ResolveFinished(QNetworkReply* reply);
    void AdTextFinished(QNetworkReply* reply);
    void ClearResolvedVideo();
    QNetworkReply* Get(const QString& relative, const char* type);
    // The menu commands' dialogs.
    QString AskForFile(const QString& caption);
    void AskForUrl(bool videoPage);
    // False when this widget went while the dialog ran.
    bool RunSettingsDialog();

    // The top-level window's state changed (maximised, full screen, normal).
    void WindowStateChanged(Qt::WindowStates state);
    void FollowTopWindow();
    PlayerController* Bar() const;

    QMap<QObject*, QWidget*> tabs_;
    QPointer<WidgetPlayerView> playerView_;
    QMenu* mainMenu_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    QMenu* screenMenu_ = nullptr;
    QMenu* openMenu_ = nullptr;
    QUdpSocket* udpSocket_ = nullptr;
    QPointer<QWidget> adWindow_;
    QPointer<QWidget> adFocusWindow_;
    QNetworkAccessManager* network_ = nullptr;
    QVector<QVariantMap> adTexts_;
    int adTextTimer_ = -1;
    int btTimer_ = 0;
    int resolveTimer_ = -1;
    int adTextIndex_ = 0;
    QPointer<QNetworkReply> pendingResolve_;
    QVariantMap lastVideoInfo_;
    QString ovUrl_;
    QString resolvedUrl_;
    QString title_;
    bool private_ = false;
    QString sources_;
    QString httpUrl_;
    std::unique_ptr<Ui::MainWidgetUi> ui_;
    QPointer<QWidget> watchedTop_;  // the top-level window whose state changes are followed
    bool windowControls_ = false;   // the title bar shows outside full screen
    WindowMover mover_;
};

// The hand-off port and the resolve time-out that widgets made from now on use. Tests that
// run beside other players choose a port of their own, and time-out tests a short wait.
void SetHandOffPort(quint16 port);
void SetResolveTimeoutForTesting(int milliseconds);
