// The player view: the page of the main widget that shows the picture. It owns one playback
// engine, hosts the engine's video window, receives the engine's events and turns key releases
// into hotkeys.
#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <memory>

#include "engine_calls.h"
#include "player_event_handler.h"
#include "player_sink.h"

class AxPlayerWidget;
class EngineKeyHook;
class PlayerController;
class QHBoxLayout;

class WidgetPlayerView : public QWidget, public CPlayerEventHandler {
    Q_OBJECT

public:
    explicit WidgetPlayerView(QWidget* parent = nullptr);
    ~WidgetPlayerView() override;

    // The engine's operations; they do nothing while the view has no engine.
    EngineCalls& Engine() { return engine_; }

    // The main widget hands the view its control bar once, right after making the view.
    void SetController(PlayerController* bar);
    // The play state hosts read through the control: 2 paused, 3 playing or busy, 4 ended
    // well, 0 nothing open or failed.
    int GetPlayState() const;

protected:
    // CPlayerEventHandler
    com::HRESULT OnMessage(int message, int wParam, int lParam) override;
    com::HRESULT OnStateChanged(int oldState, int newState) override;
    com::HRESULT OnOpenSucceeded() override;
    com::HRESULT OnSeekCompleted(int position) override;
    com::HRESULT OnBuffer(int percent) override;
    com::HRESULT OnVideoSizeChanged() override;
    com::HRESULT OnDownloadCodec(const QString& codecPath) override;

private:
    // The hotkey of a key released anywhere in the player (virtual-key code). What each key
    // does comes with the view's play handling.
    Q_INVOKABLE void PostHotkey(int key);

    bool CreateEngine();
    void ReleaseEngine();
    void SubclassEngineWindow();
    // A click on the picture toggles play and pause through the control bar, which comes with
    // the view's play handling.
    void TogglePlayOnBar();

    QHBoxLayout* layout_ = nullptr;  // owned by this widget
    QImage logo_;
    CPlayerSink sink_;
    EngineCalls engine_;
    com::Ptr<com::IConnectionPoint> connectionPoint_;
    com::DWORD cookie_ = 0;
    QPointer<AxPlayerWidget> hostWidget_;  // child of this widget, deleted on close
    QPointer<PlayerController> bar_;       // the main widget's control bar
    std::unique_ptr<EngineKeyHook> keyHook_;
};
