#include "mpv_engine.h"

#include <mpv/client.h>

#include <QApplication>
#include <QPointer>
#include <QThread>
#include <QtGlobal>
#include <algorithm>
#include <atomic>
#include <clocale>
#include <cmath>
#include <functional>
#include <mutex>

#include "engine_settings.h"
#include "segment_list.h"
#include "video_window.h"

namespace aplayer {

// mpv calls its wake-up callback from its own threads; the relay turns that into one queued
// call on the engine's thread and is cut off before the engine goes.
struct WakeRelay {
    std::mutex mutex;
    MpvEngine* target = nullptr;
    std::atomic<bool> pending{false};
    std::function<void()> drain;

    static void OnWakeup(void* data) {
        auto* relay = static_cast<WakeRelay*>(data);
        std::lock_guard<std::mutex> lock(relay->mutex);
        if (relay->target == nullptr || relay->pending.exchange(true)) return;
        QMetaObject::invokeMethod(relay->target, relay->drain, Qt::QueuedConnection);
    }
};

namespace {

enum Property : std::uint64_t {
    kPause = 1,
    kPausedForCache,
    kCacheBufferingState,
};

// Replies to seek commands carry this bit beside the seek's serial number.
constexpr std::uint64_t kSeekReplyTag = std::uint64_t{1} << 62;

bool FlagValue(const mpv_event_property& p) {
    return p.format == MPV_FORMAT_FLAG && *static_cast<int*>(p.data) != 0;
}

std::int64_t IntValue(const mpv_event_property& p) {
    return p.format == MPV_FORMAT_INT64 ? *static_cast<std::int64_t*>(p.data) : 0;
}

}  // namespace

std::unique_ptr<MpvEngine> MpvEngine::Create(EngineEvents* events,
                                             const MpvOptionList& extraOptions,
                                             std::string* error) {
    std::string ignored;
    if (error == nullptr) error = &ignored;
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr) {
        *error = "the engine needs a QApplication";
        return nullptr;
    }
    if (QThread::currentThread() != app->thread()) {
        *error = "the engine must be created on the application's thread";
        return nullptr;
    }
    auto engine = std::make_unique<MpvEngine>(Key{}, events);
    if (!engine->Start(extraOptions, error)) return nullptr;
    return engine;
}

MpvEngine::MpvEngine(Key, EngineEvents* events)
    : relay_(std::make_unique<WakeRelay>()), events_(events) {}

MpvEngine::~MpvEngine() {
    if (mpv_ != nullptr) {
        {
            std::lock_guard<std::mutex> lock(relay_->mutex);
            relay_->target = nullptr;
        }
        mpv_set_wakeup_callback(mpv_, nullptr, nullptr);
        mpv_terminate_destroy(mpv_);
    }
    // mpv drew into the window, so it goes last; the host may have deleted it already.
    window_.reset();
}

bool MpvEngine::Start(const MpvOptionList& extraOptions, std::string* error) {
    // mpv refuses to start unless numbers are formatted the C way; QApplication sets the
    // locale from the environment, so this comes after it.
    std::setlocale(LC_NUMERIC, "C");

    window_ = std::make_unique<VideoWindow>();
    connect(window_.get(), &QObject::destroyed, this, [this] { window_.release(); });
    window_->SetMessageSink([this](int message, int wParam, std::int32_t lParam) {
        Deliver([&](EngineEvents& e) { e.OnMessage(message, wParam, lParam); });
    });

    mpv_ = mpv_create();
    if (mpv_ == nullptr) {
        *error = "mpv_create failed";
        return false;
    }
    MpvOptionList options = BaseMpvOptions();
    options.insert(options.end(), extraOptions.begin(), extraOptions.end());
    options.emplace_back("wid", std::to_string(static_cast<std::int64_t>(window_->winId())));
    options.emplace_back("pause", "yes");
    for (const auto& [name, value] : options) {
        const int rc = mpv_set_option_string(mpv_, name.c_str(), value.c_str());
        if (rc < 0) {
            *error = "mpv option " + name + "=" + value + ": " + mpv_error_string(rc);
            return false;
        }
    }
    const int rc = mpv_initialize(mpv_);
    if (rc < 0) {
        *error = std::string("mpv_initialize: ") + mpv_error_string(rc);
        return false;
    }
    mpv_request_log_messages(mpv_, "error");
    mpv_observe_property(mpv_, kPause, "pause", MPV_FORMAT_FLAG);
    mpv_observe_property(mpv_, kPausedForCache, "paused-for-cache", MPV_FORMAT_FLAG);
    mpv_observe_property(mpv_, kCacheBufferingState, "cache-buffering-state", MPV_FORMAT_INT64);

    relay_->target = this;
    relay_->drain = [this] { Drain(); };
    mpv_set_wakeup_callback(mpv_, &WakeRelay::OnWakeup, relay_.get());
    return true;
}

template <typename Fire>
bool MpvEngine::Deliver(Fire&& fire) {
    const std::uint64_t generation = generation_;
    if (events_ != nullptr) {
        ++delivering_;
        fire(*events_);
        --delivering_;
    }
    return generation == generation_;
}

bool MpvEngine::SetState(int state) {
    if (state == state_) return true;
    const int old = state_;
    state_ = state;
    return Deliver([&](EngineEvents& e) { e.OnStateChanged(old, state); });
}

void MpvEngine::ResetPlay() {
    entry_id_ = -1;
    started_ = false;
    loaded_ = false;
    seek_stage_ = SeekStage::kNone;
    video_width_ = 0;
    video_height_ = 0;
    pending_subtitles_.clear();
}

void MpvEngine::Open(const std::string& url) {
    ++generation_;
    ResetPlay();
    active_ = true;
    result_ = 0;
    mpv_set_property_string(mpv_, "pause", "yes");

    if (!url.empty()) {
        const std::string source = SegmentListAsTimeline(url);
        const char* command[] = {"loadfile", source.c_str(), "replace", nullptr};
        mpv_node reply{};
        if (mpv_command_ret(mpv_, command, &reply) >= 0) {
            if (reply.format == MPV_FORMAT_NODE_MAP) {
                const mpv_node_list* map = reply.u.list;
                for (int i = 0; i < map->num; ++i) {
                    if (std::string(map->keys[i]) == "playlist_entry_id" &&
                        map->values[i].format == MPV_FORMAT_INT64)
                        entry_id_ = map->values[i].u.int64;
                }
            }
            mpv_free_node_contents(&reply);
        }
    }
    if (entry_id_ < 0) {
        // Nothing to open: fail the way a broken file does, after this call has returned.
        const char* stop[] = {"stop", nullptr};
        mpv_command(mpv_, stop);
        const std::uint64_t generation = generation_;
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation == generation_) EndPlay(MPV_ERROR_LOADING_FAILED);
            },
            Qt::QueuedConnection);
    }
    SetState(kStateOpening);
}

void MpvEngine::Close() {
    ++generation_;
    if (active_) {
        const char* stop[] = {"stop", nullptr};
        mpv_command(mpv_, stop);
    }
    active_ = false;
    ResetPlay();
    state_ = kStateClosed;
}

void MpvEngine::EndPlay(int result) {
    ++generation_;
    active_ = false;
    result_ = result;
    // A playlist would go on with its next entry; the play ends here.
    const char* stop[] = {"stop", nullptr};
    mpv_command(mpv_, stop);
    ResetPlay();
    SetState(kStateClosed);
}

bool MpvEngine::Play() {
    if (!active_) return false;
    return mpv_set_property_string(mpv_, "pause", "no") >= 0;
}

bool MpvEngine::Pause() {
    if (!active_) return false;
    return mpv_set_property_string(mpv_, "pause", "yes") >= 0;
}

double MpvEngine::DoubleProperty(const char* name) const {
    double value = 0;
    if (mpv_get_property(mpv_, name, MPV_FORMAT_DOUBLE, &value) < 0 || !std::isfinite(value))
        return 0;
    return value;
}

int MpvEngine::DurationMs() const {
    if (!loaded_) return 0;
    return static_cast<int>(std::lround(DoubleProperty("duration") * 1000));
}

int MpvEngine::PositionMs() const {
    if (!loaded_) return 0;
    return static_cast<int>(std::lround(DoubleProperty("time-pos") * 1000));
}

bool MpvEngine::SetPosition(int ms) {
    if (!loaded_ || ms < 0) return false;
    const std::string seconds = std::to_string(ms / 1000.0);
    const char* command[] = {"seek", seconds.c_str(), "absolute", nullptr};
    // Asynchronous, so that its reply marks where in the event stream the seek was taken:
    // a restart already queued before it (the opening's, an earlier seek's) is not this one.
    const std::uint64_t serial = seek_serial_ + 1;
    if (mpv_command_async(mpv_, kSeekReplyTag | serial, command) < 0) return false;
    seek_serial_ = serial;
    seek_stage_ = SeekStage::kAsked;
    return true;
}

void MpvEngine::OnSeekReply(std::uint64_t serial, int error) {
    // A reply to a seek that a newer one replaced is of no interest.
    if (serial != seek_serial_ || seek_stage_ != SeekStage::kAsked) return;
    seek_stage_ = error < 0 ? SeekStage::kNone : SeekStage::kQueued;
}

// mpv runs a queued seek later (it may wait for the first picture of the opening), announces
// it with a seek event, and restarts playback once it is done. Several seeks queued before
// one runs become one: the latest, which is the one awaited.
void MpvEngine::OnSeekProgress(int eventId) {
    if (eventId == MPV_EVENT_SEEK) {
        if (seek_stage_ == SeekStage::kQueued) seek_stage_ = SeekStage::kRunning;
        return;
    }
    if (!loaded_ || seek_stage_ != SeekStage::kRunning) return;
    seek_stage_ = SeekStage::kNone;
    const int position = PositionMs();
    Deliver([&](EngineEvents& e) { e.OnSeekCompleted(position); });
}

bool MpvEngine::SetVolume(int volume) {
    if (volume < 0 || volume > 100) return false;
    double value = volume;
    return mpv_set_property(mpv_, "volume", MPV_FORMAT_DOUBLE, &value) >= 0;
}

int MpvEngine::BufferState() const { return loaded_ && waiting_for_cache_ ? cache_percent_ : -1; }

std::string MpvEngine::GetConfig(int id) const {
    switch (id) {
        case setting::kPlayResult:
            return std::to_string(result_);
        case setting::kVideoWindow:
            return window_ ? std::to_string(static_cast<std::int64_t>(window_->winId())) : "";
        case setting::kMediaIndex: {
            std::int64_t bytes = 0;
            if (!loaded_ || mpv_get_property(mpv_, "file-size", MPV_FORMAT_INT64, &bytes) < 0)
                return {};
            return MediaIndex(DurationMs(), bytes);
        }
        case setting::kSpeedText:
            return {};
        default: {
            const auto it = settings_.find(id);
            return it == settings_.end() ? std::string() : it->second;
        }
    }
}

bool MpvEngine::SetConfig(int id, const std::string& value) {
    if (IsReadOnlySetting(id)) return false;
    settings_[id] = value;
    if (id == setting::kOsdText)
        return mpv_set_property_string(mpv_, "osd-msg1", value.c_str()) >= 0;
    if (id == setting::kSubtitleLoad && value == "1") {
        const std::string file = GetConfig(setting::kSubtitleFile);
        if (file.empty()) return false;
        if (loaded_) return LoadSubtitles(file);
        if (!active_) return false;
        pending_subtitles_ = file;
    }
    return true;
}

bool MpvEngine::LoadSubtitles(const std::string& file) {
    const char* command[] = {"sub-add", file.c_str(), "select", nullptr};
    return mpv_command(mpv_, command) >= 0;
}

void MpvEngine::UpdateState() {
    if (!active_) return;
    if (!loaded_)
        SetState(kStateOpening);
    else if (paused_)
        SetState(kStatePaused);
    else
        SetState(waiting_for_cache_ ? kStateBuffering : kStatePlaying);
}

void MpvEngine::Drain() {
    relay_->pending = false;
    QPointer<MpvEngine> alive(this);
    while (alive && mpv_ != nullptr) {
        const mpv_event* event = mpv_wait_event(mpv_, 0);
        if (event->event_id == MPV_EVENT_NONE) break;
        Handle(*event);
    }
}

// The event's data is only valid until the next mpv_wait_event, which a receiver may cause
// (a nested event loop); every handler copies what it needs before delivering anything.
void MpvEngine::Handle(const mpv_event& event) {
    switch (event.event_id) {
        case MPV_EVENT_START_FILE: {
            const auto* start = static_cast<const mpv_event_start_file*>(event.data);
            if (active_ && start->playlist_entry_id == entry_id_) started_ = true;
            break;
        }
        case MPV_EVENT_FILE_LOADED:
            if (started_ && !loaded_) OnFileLoaded();
            break;
        case MPV_EVENT_END_FILE: {
            const auto end = *static_cast<const mpv_event_end_file*>(event.data);
            if (!active_ || end.playlist_entry_id != entry_id_) break;
            if (end.reason == MPV_END_FILE_REASON_REDIRECT) {
                // A playlist file: the play goes on with its first entry.
                entry_id_ = end.playlist_insert_id;
                started_ = false;
            } else if (end.reason == MPV_END_FILE_REASON_ERROR) {
                EndPlay(end.error != 0 ? end.error : MPV_ERROR_GENERIC);
            } else {
                // Reaching the end without ever loading means nothing could be read.
                EndPlay(loaded_ ? 0 : MPV_ERROR_LOADING_FAILED);
            }
            break;
        }
        case MPV_EVENT_COMMAND_REPLY:
            if (event.reply_userdata & kSeekReplyTag)
                OnSeekReply(event.reply_userdata & ~kSeekReplyTag, event.error);
            break;
        case MPV_EVENT_SEEK:
        case MPV_EVENT_PLAYBACK_RESTART:
            OnSeekProgress(event.event_id);
            break;
        case MPV_EVENT_VIDEO_RECONFIG:
            if (started_) OnVideoReconfig();
            break;
        case MPV_EVENT_PROPERTY_CHANGE:
            OnPropertyChanged(event.reply_userdata, event);
            break;
        case MPV_EVENT_LOG_MESSAGE: {
            const auto* log = static_cast<const mpv_event_log_message*>(event.data);
            std::string text = log->text;
            while (!text.empty() && text.back() == '\n') text.pop_back();
            qWarning("mpv %s: %s", log->prefix, text.c_str());
            break;
        }
        default:
            break;
    }
}

void MpvEngine::OnFileLoaded() {
    loaded_ = true;
    if (!pending_subtitles_.empty()) {
        LoadSubtitles(pending_subtitles_);
        pending_subtitles_.clear();
    }
    const std::uint64_t generation = generation_;
    UpdateState();
    if (generation != generation_) return;
    Deliver([](EngineEvents& e) { e.OnOpenSucceeded(); });
}

void MpvEngine::OnVideoReconfig() {
    std::int64_t width = 0;
    std::int64_t height = 0;
    if (mpv_get_property(mpv_, "dwidth", MPV_FORMAT_INT64, &width) < 0 ||
        mpv_get_property(mpv_, "dheight", MPV_FORMAT_INT64, &height) < 0 || width <= 0 ||
        height <= 0)
        return;
    if (width == video_width_ && height == video_height_) return;
    video_width_ = width;
    video_height_ = height;
    Deliver([](EngineEvents& e) { e.OnVideoSizeChanged(); });
}

void MpvEngine::OnPropertyChanged(std::uint64_t property, const mpv_event& event) {
    const auto& p = *static_cast<const mpv_event_property*>(event.data);
    switch (property) {
        case kPause:
            paused_ = FlagValue(p);
            if (loaded_) UpdateState();
            break;
        case kPausedForCache: {
            const bool waiting = FlagValue(p);
            if (waiting == waiting_for_cache_) break;
            waiting_for_cache_ = waiting;
            if (!loaded_) break;
            // The fill level's own change may still be queued behind this one.
            std::int64_t fill = 0;
            if (waiting &&
                mpv_get_property(mpv_, "cache-buffering-state", MPV_FORMAT_INT64, &fill) >= 0)
                cache_percent_ = static_cast<int>(std::clamp<std::int64_t>(fill, 0, 100));
            const int percent = waiting ? cache_percent_ : 100;
            if (!Deliver([&](EngineEvents& e) { e.OnBuffer(percent); })) break;
            UpdateState();
            break;
        }
        case kCacheBufferingState: {
            const int percent = static_cast<int>(std::clamp<std::int64_t>(IntValue(p), 0, 100));
            if (percent == cache_percent_) break;
            cache_percent_ = percent;
            if (loaded_ && waiting_for_cache_)
                Deliver([&](EngineEvents& e) { e.OnBuffer(percent); });
            break;
        }
        default:
            break;
    }
}

}  // namespace aplayer
