// Open-to-first-frame and seek-to-frame times of the engine against bare libmpv with the same
// options on the same file, alternating runs, medians and their ratio.
//
//   aplayer_bench [--runs N] [--file PATH] [--vo NAME] [--ao NAME]
//
// Without --file a 10 s 640x360 video is generated. The first frame is the video output's
// first configuration (the engine's OnVideoSizeChanged, mpv's video reconfiguration); a seek
// ends when playback restarts at the target (OnSeekCompleted, mpv's playback restart).
#include <mpv/client.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "mpv_engine.h"
#include "testsupport/figures.h"
#include "testsupport/media.h"
#include "testsupport/temp_dir.h"

using testsupport::Median;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSeekTargetMs = 6000;
constexpr int kWaitLimitMs = 10000;

double Ms(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

struct Timing {
    double open = -1;
    double seek = -1;
};

// Runs the event loop until `done` is called or the limit passes.
class Waiter : public aplayer::EngineEvents {
public:
    std::function<void()> onVideoSize;
    std::function<void()> onSeek;

    bool Wait() {
        QTimer::singleShot(kWaitLimitMs, &loop_, [this] { loop_.exit(1); });
        return loop_.exec() == 0;
    }
    void Done() { loop_.exit(0); }

    void OnMessage(int, int, std::int32_t) override {}
    void OnStateChanged(int, int) override {}
    void OnOpenSucceeded() override {}
    void OnSeekCompleted(int) override {
        if (onSeek) onSeek();
    }
    void OnBuffer(int) override {}
    void OnVideoSizeChanged() override {
        if (onVideoSize) onVideoSize();
    }

private:
    QEventLoop loop_;
};

Timing RunEngine(aplayer::MpvEngine& engine, Waiter& waiter, const std::string& file) {
    Timing t;
    auto start = Clock::now();
    waiter.onVideoSize = [&] { waiter.Done(); };
    engine.Open(file);
    if (!waiter.Wait()) return t;
    t.open = Ms(start);
    waiter.onVideoSize = nullptr;
    waiter.onSeek = [&] { waiter.Done(); };
    start = Clock::now();
    if (engine.SetPosition(kSeekTargetMs) && waiter.Wait()) t.seek = Ms(start);
    waiter.onSeek = nullptr;
    engine.Close();
    return t;
}

// Lets both players finish tearing the last run down (a close returns before mpv's threads
// are done), so that neither run competes with the other's leftovers.
void Settle() {
    const auto start = Clock::now();
    while (Ms(start) < 200) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Waits for `id` (and, for a video reconfiguration, a known size); false after the limit.
bool WaitFor(mpv_handle* mpv, mpv_event_id id) {
    const auto start = Clock::now();
    while (Ms(start) < kWaitLimitMs) {
        const mpv_event* e = mpv_wait_event(mpv, 1.0);
        if (e->event_id != id) continue;
        if (id != MPV_EVENT_VIDEO_RECONFIG) return true;
        std::int64_t w = 0;
        if (mpv_get_property(mpv, "dwidth", MPV_FORMAT_INT64, &w) >= 0 && w > 0) return true;
    }
    return false;
}

Timing RunBare(mpv_handle* mpv, const std::string& file) {
    Timing t;
    auto start = Clock::now();
    const char* load[] = {"loadfile", file.c_str(), "replace", nullptr};
    if (mpv_command(mpv, load) < 0 || !WaitFor(mpv, MPV_EVENT_VIDEO_RECONFIG)) return t;
    t.open = Ms(start);
    const std::string target = std::to_string(kSeekTargetMs / 1000.0);
    const char* seek[] = {"seek", target.c_str(), "absolute", nullptr};
    start = Clock::now();
    if (mpv_command(mpv, seek) >= 0 && WaitFor(mpv, MPV_EVENT_PLAYBACK_RESTART)) t.seek = Ms(start);
    const char* stop[] = {"stop", nullptr};
    mpv_command(mpv, stop);
    WaitFor(mpv, MPV_EVENT_END_FILE);
    return t;
}

mpv_handle* StartBare(const aplayer::MpvOptionList& extra) {
    mpv_handle* mpv = mpv_create();
    if (mpv == nullptr) return nullptr;
    aplayer::MpvOptionList options = aplayer::BaseMpvOptions();
    options.insert(options.end(), extra.begin(), extra.end());
    options.emplace_back("pause", "yes");
    for (const auto& [name, value] : options)
        mpv_set_option_string(mpv, name.c_str(), value.c_str());
    if (mpv_initialize(mpv) < 0) {
        mpv_terminate_destroy(mpv);
        return nullptr;
    }
    return mpv;
}

void Report(const char* what, const std::vector<double>& engine, const std::vector<double>& bare) {
    const double e = Median(engine);
    const double b = Median(bare);
    std::printf("%-20s engine %8.2f ms   bare libmpv %8.2f ms   ratio %.3f  (%+.1f%%)\n", what, e,
                b, e / b, (e / b - 1) * 100);
}

}  // namespace

int main(int argc, char** argv) {
    // Without a display the null video output needs no window system at all.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int runs = 9;
    std::string file;
    std::string vo = "null";
    std::string ao = "null";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--runs")
            runs = std::max(1, std::atoi(argv[i + 1]));
        else if (flag == "--file")
            file = argv[i + 1];
        else if (flag == "--vo")
            vo = argv[i + 1];
        else if (flag == "--ao")
            ao = argv[i + 1];
        else {
            std::fprintf(stderr, "usage: %s [--runs N] [--file PATH] [--vo NAME] [--ao NAME]\n",
                         argv[0]);
            return 2;
        }
    }
    testsupport::TempDir dir;
    if (file.empty()) {
        file = dir.file("bench.mp4");
        if (!testsupport::MakeTestVideo(file, 10.0, 640, 360)) {
            std::fprintf(stderr, "ffmpeg could not make %s\n", file.c_str());
            return 1;
        }
    }
    const aplayer::MpvOptionList extra = {{"vo", vo}, {"ao", ao}};

    Waiter waiter;
    std::string error;
    auto engine = aplayer::MpvEngine::Create(&waiter, extra, &error);
    mpv_handle* bare = StartBare(extra);
    if (!engine || bare == nullptr) {
        std::fprintf(stderr, "cannot start: %s\n", engine ? "bare libmpv" : error.c_str());
        return 1;
    }

    // One untimed round each, so that neither side pays for first-use costs.
    RunEngine(*engine, waiter, file);
    RunBare(bare, file);
    std::vector<double> engineOpen, engineSeek, bareOpen, bareSeek;
    for (int i = 0; i < runs; ++i) {
        const Timing e = RunEngine(*engine, waiter, file);
        Settle();
        const Timing b = RunBare(bare, file);
        Settle();
        if (e.open < 0 || e.seek < 0 || b.open < 0 || b.seek < 0) {
            std::fprintf(stderr, "run %d timed out\n", i + 1);
            return 1;
        }
        engineOpen.push_back(e.open);
        engineSeek.push_back(e.seek);
        bareOpen.push_back(b.open);
        bareSeek.push_back(b.seek);
    }
    mpv_terminate_destroy(bare);
    std::printf("%s, vo=%s ao=%s, median of %d runs\n", file.c_str(), vo.c_str(), ao.c_str(), runs);
    Report("open-to-first-frame", engineOpen, bareOpen);
    Report("seek-to-frame", engineSeek, bareSeek);
    return 0;
}
