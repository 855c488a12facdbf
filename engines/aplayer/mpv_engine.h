// The playback engine: one libmpv instance, one video window, and the play-state machine that
// the player view drives. Every call and every event happens on the creating thread (the
// application's user-interface thread); mpv's own threads only wake that thread up.
#pragma once

#include <QObject>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "engine_events.h"
#include "mpv_options.h"

struct mpv_handle;
struct mpv_event;

namespace aplayer {

class VideoWindow;
struct WakeRelay;

class MpvEngine : public QObject {
    Q_OBJECT
    struct Key {
        explicit Key() = default;
    };

public:
    // Needs a QApplication and must be called on its thread. `extraOptions` override the base
    // options (see mpv_options.h). nullptr, with `error` set, when mpv cannot start.
    static std::unique_ptr<MpvEngine> Create(EngineEvents* events,
                                             const MpvOptionList& extraOptions, std::string* error);
    // Use Create.
    MpvEngine(Key, EngineEvents* events);
    ~MpvEngine() override;
    MpvEngine(const MpvEngine&) = delete;
    MpvEngine& operator=(const MpvEngine&) = delete;

    // Replaces the receiver of events (nullptr: events are dropped).
    void SetEvents(EngineEvents* events) { events_ = events; }
    // True while an event is being delivered (the receiver may be in a call back into here).
    bool Delivering() const { return delivering_ > 0; }

    // Starts opening `url` (a path or a URL); the state leaves 0 at once and the outcome
    // arrives as events. Supersedes any earlier play: none of its events follow.
    void Open(const std::string& url);
    // Stops and closes without any event.
    void Close();
    bool Play();
    bool Pause();

    int State() const { return state_; }
    int DurationMs() const;
    int PositionMs() const;
    // OnSeekCompleted follows once playback restarts at the target, unless a newer seek
    // replaces this one or the play ends first.
    bool SetPosition(int ms);
    bool SetVolume(int volume);
    // -1 unless playback waits for the network cache; then its fill in percent.
    int BufferState() const;

    std::string GetConfig(int id) const;
    // False when the id only reports, or the value cannot be applied (it is still stored).
    bool SetConfig(int id, const std::string& value);

    VideoWindow* Window() const { return window_.get(); }

private:
    bool Start(const MpvOptionList& extraOptions, std::string* error);

    void Drain();
    void Handle(const mpv_event& event);
    void OnPropertyChanged(std::uint64_t property, const mpv_event& event);
    void OnFileLoaded();
    void OnVideoReconfig();
    void OnSeekReply(std::uint64_t serial, int error);
    void OnSeekProgress(int eventId);
    void EndPlay(int result);
    void ResetPlay();
    void UpdateState();
    bool LoadSubtitles(const std::string& file);
    double DoubleProperty(const char* name) const;

    // Delivers one event; false when the delivery superseded the current play (the receiver
    // opened or closed something meanwhile) and the caller must stop its work.
    template <typename Fire>
    bool Deliver(Fire&& fire);
    bool SetState(int state);

    mpv_handle* mpv_ = nullptr;
    std::unique_ptr<WakeRelay> relay_;
    std::unique_ptr<VideoWindow> window_;
    EngineEvents* events_ = nullptr;
    int delivering_ = 0;

    int state_ = kStateClosed;
    std::uint64_t generation_ = 0;  // changes with every Open, Close and end of play
    bool active_ = false;           // a play is open (from Open until its end or Close)
    std::int64_t entry_id_ = -1;    // mpv's playlist entry of the play; -1 while none
    bool started_ = false;          // mpv began loading that entry
    bool loaded_ = false;
    // The seek whose completion is reported: only a playback restart that follows that very
    // seek's execution completes it, never one of the opening or of an earlier seek.
    enum class SeekStage { kNone, kAsked, kQueued, kRunning };
    SeekStage seek_stage_ = SeekStage::kNone;
    std::uint64_t seek_serial_ = 0;  // of the latest seek asked; tags its command's reply
    bool paused_ = true;
    bool waiting_for_cache_ = false;
    int cache_percent_ = 0;
    std::int64_t video_width_ = 0;
    std::int64_t video_height_ = 0;
    std::string pending_subtitles_;
    int result_ = 0;
    std::map<int, std::string> settings_;
};

}  // namespace aplayer
