// The player view's behaviour while a video plays: the engine's play states, the timers
// (idle hiding, progress, history, seeking, hotkeys), full screen, the pointer, the control
// bar's requests and the loading overlay.
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDebug>
#include <QLabel>
#include <QMouseEvent>
#include <QMovie>
#include <climits>

#include "app_values.h"
#include "ax_player_widget.h"
#include "main_widget_calls.h"
#include "named_objects.h"
#include "play_request.h"
#include "play_texts.h"
#include "player_controller.h"
#include "player_loading.h"
#include "widget_player_view.h"

namespace {

constexpr int kIdleMs = 3000;
constexpr int kRecordMs = 10000;
constexpr int kSeekMs = 500;
constexpr int kHotkeyMs = 100;
// A saved position closer than this to the end is not resumed.
constexpr int kResumeMarginMs = 20000;
constexpr int kSeekStepMs = 10000;
constexpr int kVolumeStep = 5;

enum VirtualKey : int {
    kVkReturn = 0x0D,
    kVkEscape = 0x1B,
    kVkSpace = 0x20,
    kVkLeft = 0x25,
    kVkUp = 0x26,
    kVkRight = 0x27,
    kVkDown = 0x28,
};

bool Setting(const char* key) { return AppValue(QString::fromLatin1(key)).toBool(); }

QString BufferedText(int percent) { return QStringLiteral("已缓冲%1%").arg(percent); }

}  // namespace

com::HRESULT WidgetPlayerView::OnStateChanged(int oldState, int newState) {
    if (newState == 0) {
        if (bar_) {
            bar_->SetTitleText(QString());
            bar_->SetTimeText(QString());
        }
        HideOverlay();
        playResult_ = engine_.GetConfig(7).toInt();
        qDebug().nospace() << "OnStateChanged nOldState=" << oldState << ",nNewState=" << newState
                           << ",dwPlayResult=" << playResult_;
    } else {
        qDebug().nospace() << "OnStateChanged nOldState=" << oldState << ",nNewState=" << newState;
    }
    if (oldState != 0 && newState == 0) {
        // The play ended or failed: back to the main page.
        ScreenClicked(false);
        Stop(true);
    }
    if (newState == 5) EnterPlaying();
    return com::S_OK;
}

void WidgetPlayerView::EnterPlaying() {
    ResumeIfPending();
    if (bar_) bar_->SetTitleText(QString());
    HideOverlay();
    RestartTimer(recordTimer_, kRecordMs);
    if (hostWidget_) {
        hostWidget_->setMaximumWidth(65535);
        hostWidget_->show();
    }
    loadingLabel_->hide();
    if (QMovie* animation = loadingLabel_->movie()) animation->setPaused(true);
}

void WidgetPlayerView::ResumeIfPending() {
    if (!resumePending_) return;
    resumePending_ = false;
    if (resumePosition_ > 0 && Setting("settings_start_lastpos") &&
        qint64(resumePosition_) + kResumeMarginMs < duration_)
        engine_.SetPosition(resumePosition_);
}

com::HRESULT WidgetPlayerView::OnOpenSucceeded() {
    qDebug() << "OnOpenSucceeded";
    opened_ = true;
    if (bar_) {
        bar_->SetBusy(false);
        bar_->SetTimeText(QString());
    }
    duration_ = engine_.GetDuration();
    if (bar_) bar_->SetPosRange(duration_);
    ReadMediaIndex();
    const std::pair<int, const char*> logged[] = {
        {2, "Codecs path:"},          {201, "Render mode config:"}, {209, "Speedup enable:"},
        {210, "Speedup CUDA first:"}, {211, "Speedup status:"},     {212, "Speedup query:"}};
    for (const auto& [id, label] : logged) qDebug().noquote() << label << engine_.GetConfig(id);
    if (bar_) bar_->SetTitleText(QString());
    if (overlay_) overlay_->ShrinkToIndicator();
    CentreOverlay();
    engine_.Play();
    return com::S_OK;
}

void WidgetPlayerView::ReadMediaIndex() { mediaIndex_ = ParseMediaIndex(engine_.GetConfig(116)); }

com::HRESULT WidgetPlayerView::OnSeekCompleted(int) {
    qDebug() << "OnSeekCompleted";
    engine_.SetConfig(612, QString());
    return com::S_OK;
}

com::HRESULT WidgetPlayerView::OnBuffer(int percent) {
    if (percent == 100) {
        engine_.SetConfig(612, QString());
        HideOverlay();
        if (bar_) bar_->SetTitleText(QString());
        RestartTimer(idleTimer_, kIdleMs);
    } else {
        if (percent == 0 && bar_) {
            bar_->show();
            if (IsStreamType(type_)) bar_->ShowSpeedLabel(true);
        }
        if (bar_) bar_->SetTitleText(BufferedText(percent));
        engine_.SetConfig(612, BufferedText(percent));
        ShowOverlay();
    }
    if (overlay_) overlay_->SetPercent(percent);
    return com::S_OK;
}

void WidgetPlayerView::timerEvent(QTimerEvent* event) {
    const int id = event->timerId();
    if (id == idleTimer_) {
        IdleTimeout();
    } else if (id == statusTimer_) {
        ShowProgress();
        UpdateP2PStatus();
    } else if (id == recordTimer_) {
        SaveProgress();
    } else if (id == seekTimer_) {
        KillTimer(seekTimer_);
        QMetaObject::invokeMethod(this, "AsyncPosChanged", Qt::QueuedConnection);
    } else if (id == hotkeyTimer_) {
        KillTimer(hotkeyTimer_);
        HandleHotkey(pendingHotkey_);
    } else {
        QWidget::timerEvent(event);
    }
}

void WidgetPlayerView::IdleTimeout() {
    // The bar's own coordinates: it may sit anywhere in the window.
    if (bar_ && bar_->rect().contains(bar_->mapFromGlobal(QCursor::pos()))) return;
    if (engine_ && !(engine_.GetState() == 5 && engine_.GetBufferState() == -1)) return;
    KillTimer(idleTimer_);
    if (!MainWidgetIsFullScreen()) return;
    if (cursorShown_) qDebug("ShowCursor( FALSE)\n");
    HideCursor();
    if (bar_) bar_->FadeOut();
}

void WidgetPlayerView::ShowProgress() {
    const int state = engine_.GetState();
    if (state != 5 && state != 3) return;
    position_ = engine_.GetPosition();
    if (!bar_) return;
    bar_->SetPos(position_);
    bar_->SetTimeText(FormatTime(position_) + QStringLiteral("\r\n") + FormatTime(duration_));
}

void WidgetPlayerView::SaveProgress() {
    if (!Setting("settings_start_lastpos")) return;
    if (QObject* records = FindNamedObject(QStringLiteral("PlayerRecords")))
        QMetaObject::invokeMethod(records, "InsertRecord", Qt::QueuedConnection, Q_ARG(int, type_),
                                  Q_ARG(QString, ovUrl_.isEmpty() ? requestUrl_ : ovUrl_),
                                  Q_ARG(QString, WatchTime()), Q_ARG(int, position_),
                                  Q_ARG(QString, title_));
    CallMainWidget("UpdateLastVideoInfo", Qt::QueuedConnection, Q_ARG(int, position_));
}

bool WidgetPlayerView::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
            if (hostWidget_) hostWidget_->setFocus(Qt::MouseFocusReason);
            break;
        case QEvent::MouseButtonDblClick:
            if (watched != hostWidget_) break;
            ScreenClicked(!MainWidgetIsFullScreen());
            return true;
        case QEvent::MouseMove:
            if (watched == hostWidget_) PointerMoved(static_cast<QMouseEvent*>(event)->pos());
            break;
        default:
            break;
    }
    return false;
}

void WidgetPlayerView::PointerMoved(const QPoint& position) {
    if (position == lastMousePosition_) return;
    if (engine_ && engine_.GetState() != 5) return;
    RestartTimer(idleTimer_, kIdleMs);
    if (!cursorShown_) qDebug("ShowCursor( TRUE)\n");
    ShowCursor();
    if (bar_) bar_->show();
    lastMousePosition_ = position;
}

void WidgetPlayerView::ScreenClicked(bool full) {
    const bool fullNow = MainWidgetIsFullScreen();
    if (full && !fullNow) {
        CallMainWidget("ShowFullScreen", Qt::DirectConnection);
        HideCursor();
    } else if (!full && fullNow) {
        CallMainWidget("ShowNormal", Qt::DirectConnection);
        ShowCursor();
    }
    if (bar_) bar_->SetFullScreenChecked(full);
}

void WidgetPlayerView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (bar_) bar_->SetFullScreenChecked(MainWidgetIsFullScreen());
    RestartTimer(idleTimer_, kIdleMs);
}

void WidgetPlayerView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (bar_ && MainWidgetIsMinimized() && Setting("settings_pause_min")) bar_->SetPlaying();
}

void WidgetPlayerView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    CentreOverlay();
}

void WidgetPlayerView::closeEvent(QCloseEvent* event) {
    Stop(true);
    // The view is a page of the main widget and stays.
    event->ignore();
}

void WidgetPlayerView::PostHotkey(int key) {
    if (!isVisible() || hotkeyTimer_ != -1) return;
    RestartTimer(hotkeyTimer_, kHotkeyMs);
    pendingHotkey_ = key;
}

void WidgetPlayerView::HandleHotkey(int key) {
    switch (key) {
        case kVkReturn:
            ScreenClicked(!MainWidgetIsFullScreen());
            break;
        case kVkEscape:
            if (MainWidgetIsFullScreen())
                ScreenClicked(false);
            else
                close();
            break;
        case kVkSpace:
            if (bar_) bar_->TogglePlay();
            break;
        case kVkLeft:
            SeekBy(-kSeekStepMs);
            break;
        case kVkRight:
            SeekBy(kSeekStepMs);
            break;
        case kVkUp:
            if (bar_) bar_->SetVolume(bar_->GetVolume() + kVolumeStep);
            break;
        case kVkDown:
            if (bar_) bar_->SetVolume(bar_->GetVolume() - kVolumeStep);
            break;
        default:
            break;
    }
}

void WidgetPlayerView::SeekBy(int deltaMs) {
    const int position = engine_.GetPosition();
    if (position == 0) return;
    const qint64 target = qBound<qint64>(0, qint64(position) + deltaMs, INT_MAX);
    engine_.SetPosition(static_cast<int>(target));
}

void WidgetPlayerView::VolumeChanged(int value) {
    if (engine_) engine_.SetVolume(value);
}

void WidgetPlayerView::PlayClicked(bool pause) {
    const int state = engine_.GetState();
    if (state != 0) {
        if (pause)
            engine_.Pause();
        else
            engine_.Play();
    } else if (!pause) {
        CallMainWidget("PlayRecent", Qt::QueuedConnection);
    }
}

void WidgetPlayerView::StopClicked() { Stop(true); }

void WidgetPlayerView::PosChanged() {
    engine_.SetConfig(612, BufferedText(0));
    if (bar_) seekTarget_ = bar_->GetPos();
    // Quick releases (a drag ends with two) make one seek, to the last position.
    RestartTimer(seekTimer_, kSeekMs);
}

void WidgetPlayerView::AsyncPosChanged() { engine_.SetPosition(seekTarget_); }

void WidgetPlayerView::LoadSubtitles(const QString& filePath) {
    engine_.SetConfig(503, filePath);
    engine_.SetConfig(506, QStringLiteral("0"));
    engine_.SetConfig(504, QStringLiteral("1"));
}

void WidgetPlayerView::CentreOverlay() {
    if (!overlay_) return;
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    overlay_->move(origin.x() + width() / 2 - overlay_->width() / 2,
                   origin.y() + height() / 2 - overlay_->height() / 2);
}

void WidgetPlayerView::ShowOverlay() {
    if (overlay_ && isVisible()) overlay_->show();
}

void WidgetPlayerView::HideOverlay() {
    if (overlay_) overlay_->hide();
}

void WidgetPlayerView::HideCursor() {
    if (!cursorShown_) return;
    QApplication::setOverrideCursor(Qt::BlankCursor);
    cursorShown_ = false;
}

void WidgetPlayerView::ShowCursor() {
    if (cursorShown_) return;
    QApplication::restoreOverrideCursor();
    cursorShown_ = true;
}

void WidgetPlayerView::RestartTimer(int& id, int ms) {
    KillTimer(id);
    id = startTimer(ms);
}

void WidgetPlayerView::KillTimer(int& id) {
    if (id != -1) killTimer(id);
    id = -1;
}
