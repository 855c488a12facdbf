// The main widget's construction, destruction and events. Window handling, menus and the
// request side are in orvane_window.cpp, orvane_menus.cpp and orvane_requests.cpp.
#include "orvane_widget.h"

#include <QCloseEvent>
#include <QDebug>
#include <QNetworkAccessManager>
#include <QTimer>
#include <QTimerEvent>
#include <QUdpSocket>
#include <QWebFrame>

#include "app_paths.h"
#include "app_values.h"
#include "bt_server_probe.h"
#include "bt_server_queries.h"
#include "host_queries.h"
#include "named_objects.h"
#include "player_controller.h"
#include "settings.h"
#include "speed_limits.h"
#include "streaming_exports.h"
#include "streaming_library.h"
#include "ui_main_widget_ui.h"
#include "web_page.h"
#include "web_service_answers.h"
#include "widget_ad.h"
#include "widget_ad_focus.h"
#include "widget_player_view.h"

namespace {

constexpr int kBtKeepAliveMs = 5000;

}  // namespace

orvane::orvane(QWidget* parent) : QWidget(parent) {
    // Loaded only to read the type library or to be registered: no player at all.
    if (IsRegistrationHost(HostExeName())) return;
    StartBtServer();
    SetMainWidget(this);
    setWindowFlags(Qt::FramelessWindowHint);
    BuildForm();
    CreatePlayerView();
    ConnectForm();
    CreateMenus();
    ApplySettings();
    ui_->stackedWidget->setCurrentWidget(ui_->emptyPage);
    // Made before the start-up play: an ov:// address is resolved through it.
    CreateNetwork();
    if (HasAppValue("videoPath"))
        PlayVideo({{"type", 6}, {"url", AppValue("videoPath").toString()}});
    CreateHandOffSocket();
    CreateAdWindows();
    RequestPromotion();
    RequestAdText();
    StartAdTextRotation();
    ui_->titleWidget->hide();
    ui_->widgetRecords->hide();
    Bar()->HideRecordsButton();
    QueryBtUrl();
    btTimer_ = startTimer(kBtKeepAliveMs);
    ui_->emptyPage->installEventFilter(this);
}

orvane::~orvane() {
    // The form's widgets go after this body, with the base: the page views stop their loads
    // then and report it (a failed load shows the main page), which must not reach a widget
    // that is half gone.
    for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
    DeleteOwnedWindows();
    // Replies aborted by the manager's end must not reach a widget that is half gone.
    if (network_) {
        network_->disconnect(this);
        delete network_;
    }
    CleanupOnDestroy();
}

void orvane::BuildForm() {
    ui_ = std::make_unique<Ui::MainWidgetUi>();
    ui_->setupUi(this);
    layout()->setContentsMargins(0, 0, 0, 0);
}

void orvane::CreatePlayerView() {
    playerView_ = new WidgetPlayerView(this);
    playerView_->SetController(Bar());
    ui_->stackedWidget->addWidget(playerView_);
}

void orvane::ConnectForm() {
    for (QToolButton* button :
         {ui_->buttonClose, ui_->buttonMenu, ui_->buttonMax, ui_->buttonMin, ui_->buttonRestore})
        connect(button, &QToolButton::clicked, this, &orvane::TitleBarClicked);
    connect(Bar(), &PlayerController::recordsClicked, this, &orvane::RecordsClicked);
    connect(ui_->adWebView, &QWebView::loadFinished, this, &orvane::LoadFinished);
    connect(ui_->adWebView->page()->mainFrame(), &QWebFrame::javaScriptWindowObjectCleared, this,
            &orvane::JavaScriptWindowObjectCleared);
    ConfineRemotePage(ui_->adWebView->page());

    auto* page = new _WebPage(this);
    ui_->webView->setPage(page);
    page->setLinkDelegationPolicy(QWebPage::DelegateAllLinks);
    connect(ui_->webView, &QWebView::linkClicked, this, &orvane::LinkClicked);

    connect(ui_->btnTabPlayer, &QPushButton::clicked, this, &orvane::MainTabClicked);
    connect(ui_->btnTabShow, &QPushButton::clicked, this, &orvane::MainTabClicked);
    tabs_.insert(ui_->btnTabPlayer, ui_->pagePlayer);
    tabs_.insert(ui_->btnTabShow, ui_->pageShow);
    ui_->buttonRestore->hide();
}

void orvane::ApplySettings() {
    SetDefaultSettings();
    LoadStoredSettings();
    StoreSettings();
    // Only the BT server's process has the streaming service loaded.
    if (StreamingLibraryHandle()) {
        const auto [download, upload] = SpeedLimitsFromSettings();
        P2PSetSpeedLimit(download, upload);
    }
    StayOnTop(AppValue("settings_stayontop").toBool());
}

void orvane::CreateNetwork() {
    network_ = new QNetworkAccessManager(this);
    connect(network_, &QNetworkAccessManager::finished, this, &orvane::ReplyFinished);
}

void orvane::CreateAdWindows() {
    // Each one stays hidden until its page has loaded (and closes itself at once when another
    // player already shows one of its kind); DeleteOwnedWindows deletes both.
    adWindow_ = new WidgetAd(this);
    adFocusWindow_ = new WidgetAdFocus(this);
}

void orvane::DeleteOwnedWindows() {
    delete adWindow_.data();
    adWindow_ = nullptr;
    delete adFocusWindow_.data();
    adFocusWindow_ = nullptr;
    delete playerView_.data();
    playerView_ = nullptr;
}

PlayerController* orvane::Bar() const { return ui_->widgetPlayerCtrl; }

bool orvane::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watchedTop_ && event->type() == QEvent::WindowStateChange)
        WindowStateChanged(watchedTop_->windowState());
    if (ui_ && watched == ui_->emptyPage) {
        if (event->type() == QEvent::MouseButtonDblClick) qDebug() << "QEvent::MouseButtonDblClick";
        if (event->type() == QEvent::MouseMove) qDebug() << "QEvent::MouseMove";
    }
    return false;
}

void orvane::timerEvent(QTimerEvent* event) {
    const int id = event->timerId();
    if (id == adTextTimer_) {
        ShowNextAdText();
    } else if (id == resolveTimer_) {
        ResolveTimedOut();
    } else if (id == btTimer_) {
        KeepBtServerAlive();
    }
}

void orvane::KeepBtServerAlive() {
    // The stream base URL follows a BT server that started late or started again.
    if (IsBtServerRunning()) {
        QueryBtUrl();
        return;
    }
    // One started here is asked once it has had its time to come up, or streams would go to
    // the old address for another period; should it not answer yet, the next period asks
    // again. The time passes on a timer: this thread runs the user interface.
    if (LaunchBtServer()) QTimer::singleShot(kBtServerStartMs, this, [] { QueryBtUrl(); });
}

void orvane::resizeEvent(QResizeEvent*) {}

void orvane::hideEvent(QHideEvent*) {}

void orvane::closeEvent(QCloseEvent* event) {
    DeleteOwnedWindows();
    event->accept();
}

void orvane::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (!ui_) return;
    if (event->type() == QEvent::WindowStateChange) WindowStateChanged(windowState());
    if (event->type() == QEvent::ParentChange) FollowTopWindow();
}

void orvane::showEvent(QShowEvent*) {
    if (ui_) FollowTopWindow();
}

void orvane::FollowTopWindow() {
    // The control is placed into a window after the widget was made, and that window may be
    // placed into another: the window shown is the one whose state the buttons follow, and
    // the one that stays on top.
    QWidget* top = window();
    QWidget* follow = top != this ? top : nullptr;
    if (follow == watchedTop_) return;
    if (watchedTop_) watchedTop_->removeEventFilter(this);
    watchedTop_ = follow;
    if (!watchedTop_) return;
    watchedTop_->installEventFilter(this);
    StayOnTop(AppValue("settings_stayontop").toBool());
}
