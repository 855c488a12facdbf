// The control bar under the picture: progress with the buffered parts, play/pause, stop,
// loading and speed labels, an advertisement link, the play time, volume with mute, and the
// full-screen and history toggles. It holds no playback logic: clicks and drags become its
// six signals, and the player view and the main widget drive it through its setters. All
// on the user-interface thread.
#pragma once

#include <QString>
#include <QWidget>
#include <memory>

#include "buffer_slider.h"
#include "widget_fade.h"

namespace Ui {
class PlayerController;
}

class PlayerController : public QWidget {
    Q_OBJECT

public:
    explicit PlayerController(QWidget* parent = nullptr);
    ~PlayerController() override;

    void SetTimeText(const QString& text);
    // An empty text leaves the previous speed on screen.
    void SetSpeedText(const QString& text);
    // An empty text hides the loading label; any other text is shown in it.
    void SetTitleText(const QString& text);
    // Moves the volume slider, which then reports the volume like a user's move.
    void SetVolume(int volume);
    int GetVolume() const;
    // Sets the button's state without a signal.
    void SetFullScreenChecked(bool checked);
    // Ignored while the user holds the progress slider, so playback does not fight the hand.
    void SetPos(int pos);
    int GetPos() const;
    void SetBufferRanges(const BufferRanges& ranges);
    void CheckRecords();
    void UncheckRecords();
    void HideRecordsButton();
    void ShowRecordsButton();
    // Stopped: no progress, play shows "paused", the other playing controls off.
    void Reset();
    // Playing: the controls on, play shows "playing" (without a signal).
    void EnableControls();
    void SetBusy(bool busy);
    // Both do nothing while the play button is disabled.
    void TogglePlay();
    void SetPlaying();
    void ShowSpeedLabel(bool show);
    void SetAdText(const QString& url, const QString& text);
    void RequestStop();
    // Fades the bar out and shrinks the history panel away with it.
    void FadeOut();

signals:
    void screenClicked(bool fullScreen);
    void volumeChanged(int volume);
    void posChanged();
    void playClicked(bool pause);
    void recordsClicked(bool shrink);
    void stopClicked();

public slots:
    void ScreenClicked();
    void VolumeChanged(int value);
    void VolumeClicked();
    void PosChanged();
    void SetPosRange(int max);
    void PlayClicked();
    void HideFinished();
    void RecordsClicked();
    void StopClicked();
    // Opens the advertisement's web address in the user's browser.
    void AdClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void SetPlayingControlsEnabled(bool enabled);

    std::unique_ptr<Ui::PlayerController> ui_;
    WidgetFade fade_;
    // The last audible volume, restored by unmuting.
    int rememberedVolume_ = 50;
    QString adUrl_;
};
