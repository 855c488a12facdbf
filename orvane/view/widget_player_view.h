// The player view: the page of the main widget that shows the picture. It owns one playback
// engine and hosts its video window, turns play requests into what the engine opens (files,
// URLs, resolved web pages, streams of the streaming service), follows the engine's play
// states, and drives the control bar, the loading overlay, full screen, hotkeys, seeking and
// the play history. Everything runs on the user-interface thread.
#pragma once

#include <QImage>
#include <QPointer>
#include <QVariantMap>
#include <QWidget>
#include <memory>

#include "engine_calls.h"
#include "media_index.h"
#include "player_event_handler.h"
#include "player_sink.h"

class AxPlayerWidget;
class EngineKeyHook;
class PlayerController;
class PlayerLoading;
class QHBoxLayout;
class QLabel;
class QNetworkAccessManager;
class QNetworkReply;
class QTemporaryFile;

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

    // Plays a video-info map ("type", "url", "title", "pos", "ovurl", and for a resolved video
    // "httpurl", "sources", "private", "crypt"); the earlier play stops first.
    Q_INVOKABLE void Play(const QVariantMap& videoInfo);
    // Stops the play; `toMain` returns the main widget to its main page.
    Q_INVOKABLE void Stop(bool toMain);
    // A hotkey (virtual-key code). Keys that follow within 100 ms of one are dropped.
    Q_INVOKABLE void PostHotkey(int key);
    Q_INVOKABLE void LoadSubtitles(const QString& filePath);
    Q_INVOKABLE void AsyncPosChanged();
    // Opens `url` when `threadid` is the view's parser thread id (0: none runs).
    Q_INVOKABLE void PlayParser(const QString& url, int threadid);

    // The engine's result code of the last play, read when it ended.
    int PlayResult() const { return playResult_; }
    void SetPlayResult(int result) { playResult_ = result; }

protected:
    // CPlayerEventHandler
    com::HRESULT OnMessage(int message, int wParam, int lParam) override;
    com::HRESULT OnStateChanged(int oldState, int newState) override;
    com::HRESULT OnOpenSucceeded() override;
    com::HRESULT OnSeekCompleted(int position) override;
    com::HRESULT OnBuffer(int percent) override;
    com::HRESULT OnVideoSizeChanged() override;
    com::HRESULT OnDownloadCodec(const QString& codecPath) override;

    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private slots:
    void ScreenClicked(bool full);
    void VolumeChanged(int value);
    void PosChanged();
    void PlayClicked(bool pause);
    void ReplyFinished(QNetworkReply* reply);
    void StopClicked();

private:
    // Engine host
    bool CreateEngine();
    void ReleaseEngine();
    void SubclassEngineWindow();
    void WatchEngineWidgets();
    // A click on the picture: play and pause through the control bar, and the keyboard for
    // this window, which an embedding window does not hand over by itself.
    void TogglePlayOnBar();

    // Play road
    // False when the play ended on the way (a page address too short to resolve).
    bool OpenByType();
    void OpenLocalFile();
    // The "bturl:" value of a stream play, which also names its task.
    QString StreamSource() const;
    void PurgeCache();
    void SendPlaySettings();
    bool ResolvePageUrl(const QString& url);
    void AbortPendingResolve();
    void OpenResolved(const QByteArray& body);
    void DropSegmentList();
    void UpdateP2PStatus();
    void UpdateBufferRanges(const QString& blockMap, qint64 blockLength);

    // Behaviour
    void HandleHotkey(int key);
    void PointerMoved(const QPoint& position);
    void SeekBy(int deltaMs);
    void IdleTimeout();
    void ShowProgress();
    void SaveProgress();
    void ResumeIfPending();
    void EnterPlaying();
    void ReadMediaIndex();
    void CentreOverlay();
    void ShowOverlay();
    void HideOverlay();
    void HideCursor();
    void ShowCursor();
    void RestartTimer(int& id, int ms);
    void KillTimer(int& id);

    QHBoxLayout* layout_ = nullptr;    // owned by this widget
    QLabel* loadingLabel_ = nullptr;   // the loading animation, child of this widget
    QPointer<PlayerLoading> overlay_;  // a window of its own; it may close itself
    QImage logo_;
    CPlayerSink sink_;
    EngineCalls engine_;
    com::Ptr<com::IConnectionPoint> connectionPoint_;
    com::DWORD cookie_ = 0;
    QPointer<AxPlayerWidget> hostWidget_;  // child of this widget, deleted on close
    QPointer<PlayerController> bar_;       // the main widget's control bar
    std::unique_ptr<EngineKeyHook> keyHook_;
    QNetworkAccessManager* network_ = nullptr;     // child of this widget
    QPointer<QNetworkReply> pendingReply_;         // the resolve request in flight
    std::unique_ptr<QTemporaryFile> segmentList_;  // the playlist of a segmented page video

    // The current play
    int type_ = 0;
    QString url_;         // as opened; for a torrent file its published address
    QString requestUrl_;  // as the request gave it
    QString ovUrl_;
    QString title_;
    QVariantMap request_;
    int resumePosition_ = 0;
    bool resumePending_ = false;
    int playResult_ = 0;
    bool opened_ = false;
    int duration_ = 0;
    int position_ = 0;
    MediaIndex mediaIndex_;
    int parserThreadId_ = 0;

    // Timers (-1 while not running) and what they act on
    int idleTimer_ = -1;
    int statusTimer_ = -1;
    int recordTimer_ = -1;
    int seekTimer_ = -1;
    int hotkeyTimer_ = -1;
    int pendingHotkey_ = 0;
    int seekTarget_ = 0;
    bool cursorShown_ = true;
    QPoint lastMousePosition_;
};
