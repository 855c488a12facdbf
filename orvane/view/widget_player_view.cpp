#include "widget_player_view.h"

#include <QApplication>
#include <QDebug>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QMovie>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryFile>

#include "app_paths.h"
#include "ax_player_widget.h"
#include "com/create.h"
#include "engine_drag_fall_through.h"
#include "engine_key_hook.h"
#include "engine_library.h"
#include "main_widget_calls.h"
#include "named_objects.h"
#include "orvane_widget.h"
#include "player_controller.h"
#include "player_loading.h"

using namespace com;

namespace {

// The view whose hotkeys the key hook serves: the one that made its engine last. Hooks of
// other views stay quiet, so that one release gives one hotkey however many views exist.
QPointer<WidgetPlayerView>& HookView() {
    static QPointer<WidgetPlayerView> view;
    return view;
}

// Where a click on the video window goes instead: the main widget, while the pointer is over
// its drag area and it is not full screen.
QWidget* DragTarget() {
    orvane* main = GetMainWidget();
    if (main && main->IsInDragArea() && !main->isFullScreen()) return main;
    return nullptr;
}

Qt::MouseButtons MouseButtonsOf(int keyFlags) {
    Qt::MouseButtons buttons;
    if (keyFlags & 0x0001) buttons |= Qt::LeftButton;
    if (keyFlags & 0x0002) buttons |= Qt::RightButton;
    if (keyFlags & 0x0010) buttons |= Qt::MiddleButton;
    return buttons;
}

Qt::KeyboardModifiers ModifiersOf(int keyFlags) {
    Qt::KeyboardModifiers modifiers;
    if (keyFlags & 0x0004) modifiers |= Qt::ShiftModifier;
    if (keyFlags & 0x0008) modifiers |= Qt::ControlModifier;
    return modifiers;
}

void PostKey(QWidget* target, int message, int wParam, int lParam) {
    if (!target) return;
    const bool release = message == kWmKeyUp;
    const bool repeat = !release && (lParam & (1 << 30)) != 0;
    QCoreApplication::postEvent(
        target,
        new QKeyEvent(release ? QEvent::KeyRelease : QEvent::KeyPress, EngineKeyHook::QtKey(wParam),
                      Qt::NoModifier, 0, static_cast<quint32>(wParam), 0, QString(), repeat));
}

void PostMouse(QWidget* target, int message, int wParam, int lParam) {
    if (!target) return;
    const QPoint local(static_cast<qint16>(lParam & 0xFFFF),
                       static_cast<qint16>((static_cast<quint32>(lParam) >> 16) & 0xFFFF));
    const bool doubleClick = message == kWmLButtonDblClk;
    QCoreApplication::postEvent(
        target,
        new QMouseEvent(doubleClick ? QEvent::MouseButtonDblClick : QEvent::MouseMove, local,
                        target->mapToGlobal(local), doubleClick ? Qt::LeftButton : Qt::NoButton,
                        MouseButtonsOf(wParam), ModifiersOf(wParam)));
}

}  // namespace

WidgetPlayerView::WidgetPlayerView(QWidget* parent) : QWidget(parent) {
    RegisterNamedObject(QStringLiteral("WidgetPlayerView"), this);
    if (objectName().isEmpty()) setObjectName(QStringLiteral("WidgetPlayerView"));
    resize(724, 567);
    setAcceptDrops(true);
    setStyleSheet(QStringLiteral("#WidgetPlayerView\n{\n\tbackground-color:#17181b;\n}"));
    layout_ = new QHBoxLayout(this);
    layout_->setObjectName(QStringLiteral("horizontalLayout"));
    layout_->setSpacing(0);
    layout_->setContentsMargins(0, 0, 0, 0);
    setWindowTitle(tr("WidgetPlayerView"));

    network_ = new QNetworkAccessManager(this);
    connect(network_, &QNetworkAccessManager::finished, this, &WidgetPlayerView::ReplyFinished);
    logo_ = QImage(QStringLiteral(":/image/player_icon.png"))
                .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    overlay_ = new PlayerLoading(this);
    // The overlay floats over the picture; it must not take the keyboard from the player.
    overlay_->setAttribute(Qt::WA_ShowWithoutActivating);

    // Without an engine the view still comes up; every engine call then does nothing.
    CreateEngine();
    SubclassEngineWindow();
    WatchEngineWidgets();

    loadingLabel_ = new QLabel(this);
    loadingLabel_->setAlignment(Qt::AlignCenter);
    loadingLabel_->setStyleSheet(QStringLiteral("color:white; font-size:16px;"));
    auto* animation =
        new QMovie(QStringLiteral(":/image/loading_wanming.gif"), QByteArray(), loadingLabel_);
    loadingLabel_->setMovie(animation);
    animation->start();
    layout_->addWidget(loadingLabel_);
    if (hostWidget_) {
        hostWidget_->setMinimumWidth(1);
        hostWidget_->setMaximumWidth(1);
    }
    layout_->setStretch(0, 1);
    layout_->setStretch(1, 1);
    // The playlist of a segmented video is temporary: it goes when the program ends too.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &WidgetPlayerView::DropSegmentList);
}

WidgetPlayerView::~WidgetPlayerView() {
    ShowCursor();
    ReleaseEngine();
}

void WidgetPlayerView::WatchEngineWidgets() {
    if (hostWidget_) {
        hostWidget_->installEventFilter(this);
        hostWidget_->setMouseTracking(true);
    }
    if (overlay_) {
        overlay_->installEventFilter(this);
        overlay_->SetPercent(0);
    }
    if (QObject* records = FindNamedObject(QStringLiteral("PlayerRecords")))
        records->installEventFilter(this);
}

bool WidgetPlayerView::CreateEngine() {
    const bool created = [this] {
        Ptr<aplayer::IPlayerEngine> engine;
        const HRESULT hr = CreateInstanceFromLibrary(
            EngineLibraryPath().toStdString(), aplayer::kPlayerEngineClsid, nullptr,
            aplayer::IPlayerEngine::kIid, engine.PutVoid());
        if (FAILED(hr) || !engine) {
            qDebug().noquote() << "engine not created:" << QString::number(quint32(hr), 16)
                               << (hr == TYPE_E_CANTLOADLIBRARY
                                       ? QString::fromStdString(LastLoadError())
                                       : QString());
            return false;
        }
        engine_.Reset(engine.get());

        hostWidget_ = new AxPlayerWidget(engine.get(), this);
        qDebug() << "new QAxWidget";
        Ptr<aplayer::IPlayerEngine> hosted;
        hostWidget_->queryInterface(aplayer::IPlayerEngine::kIid, hosted.PutVoid());
        engine_.Reset(hosted.get());
        qDebug() << "queryInterface";
        if (!engine_) return false;
        layout_->addWidget(hostWidget_);
        qDebug() << "addWidget";
        engine_.SetLogo(&logo_);

        Ptr<IConnectionPointContainer> container;
        engine_.get()->QueryInterface(IConnectionPointContainer::kIid, container.PutVoid());
        qDebug() << "QueryInterface";
        if (!container) return false;
        if (FAILED(container->FindConnectionPoint(aplayer::kPlayerEngineEventsIid,
                                                  connectionPoint_.Put())) ||
            !connectionPoint_)
            return false;
        qDebug() << "FindConnectionPoint";
        sink_.SetHandler(this);
        if (FAILED(connectionPoint_->Advise(&sink_, &cookie_))) return false;
        qDebug() << "Advise";

        qDebug() << "SetVolume";
        qDebug() << "SetConfig";
        const QString codecs = AppFilePath(QStringLiteral("codecs"));
        qDebug().noquote() << "codes path:" << codecs;
        engine_.SetConfig(2, codecs);
        engine_.SetConfig(201, QStringLiteral("2"));
        engine_.SetConfig(602, QStringLiteral("1"));

        HookView() = this;
        keyHook_ = std::make_unique<EngineKeyHook>([this](int key) {
            if (MainWidgetObject() && HookView() == this) PostHotkey(key);
        });
        return true;
    }();
    if (!created) ReleaseEngine();
    return created;
}

void WidgetPlayerView::ReleaseEngine() {
    keyHook_.reset();
    engine_.Close();
    if (cookie_ != 0) {
        if (connectionPoint_) connectionPoint_->Unadvise(cookie_);
        cookie_ = 0;
    }
    connectionPoint_.reset();
    delete hostWidget_.data();
    hostWidget_ = nullptr;
    engine_.Reset();
}

void WidgetPlayerView::SubclassEngineWindow() {
    const QString text = engine_.GetConfig(20);
    if (text.isEmpty()) return;
    bool ok = false;
    const qulonglong handle = text.toULongLong(&ok);
    if (!ok) return;
    // The engine's window lives in this process, so it is watched as a widget; the watcher
    // goes with the window.
    if (QWidget* video = QWidget::find(static_cast<WId>(handle)))
        new EngineDragFallThrough(video, &DragTarget);
}

com::HRESULT WidgetPlayerView::OnMessage(int message, int wParam, int lParam) {
    switch (message) {
        case kWmKeyDown:
        case kWmKeyUp:
            PostKey(hostWidget_, message, wParam, lParam);
            PostKey(this, message, wParam, lParam);
            break;
        case kWmLButtonUp:
            TogglePlayOnBar();
            break;
        case kWmMouseMove:
        case kWmLButtonDblClk:
            PostMouse(hostWidget_, message, wParam, lParam);
            break;
        default:
            break;
    }
    return S_OK;
}

com::HRESULT WidgetPlayerView::OnVideoSizeChanged() {
    qDebug() << "OnVideoSizeChanged";
    return S_OK;
}

com::HRESULT WidgetPlayerView::OnDownloadCodec(const QString& codecPath) {
    // No codec is ever fetched.
    qDebug() << "OnDownloadCodec：" << static_cast<const void*>(codecPath.utf16());
    return E_FAIL;
}

void WidgetPlayerView::TogglePlayOnBar() {
    if (bar_) bar_->TogglePlay();
    if (!hostWidget_) return;
    window()->activateWindow();
    hostWidget_->setFocus(Qt::MouseFocusReason);
}

void WidgetPlayerView::SetController(PlayerController* bar) {
    bar_ = bar;
    if (!bar_) return;
    connect(bar_, &PlayerController::screenClicked, this, &WidgetPlayerView::ScreenClicked);
    connect(bar_, &PlayerController::volumeChanged, this, &WidgetPlayerView::VolumeChanged);
    connect(bar_, &PlayerController::posChanged, this, &WidgetPlayerView::PosChanged);
    connect(bar_, &PlayerController::playClicked, this, &WidgetPlayerView::PlayClicked);
    connect(bar_, &PlayerController::stopClicked, this, &WidgetPlayerView::StopClicked);
    bar_->installEventFilter(this);
    bar_->SetVolume(50);
    bar_->Reset();
}

int WidgetPlayerView::GetPlayState() const {
    switch (engine_.GetState()) {
        case 0:
            // Setting 7 holds the result of the last play: non-zero when it failed.
            return engine_.GetConfig(7).toInt() != 0 ? 0 : 4;
        case 3:
            return 2;
        default:
            return 3;
    }
}
