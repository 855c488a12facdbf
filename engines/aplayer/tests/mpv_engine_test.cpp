// The play-state machine as the player view sees it: event order, failures, silent close,
// superseded opens, seeking, pausing, and the thread events arrive on.
#include <QCoreApplication>
#include <cstdlib>

#include "engine_fixture.h"
#include "testsupport/temp_dir.h"
#include "video_window.h"

namespace aplayer::test {
namespace {

using Kind = RecordedEvent::Kind;
using namespace std::chrono_literals;

std::size_t IndexOf(const std::vector<RecordedEvent>& events, Kind kind, int newState = -1) {
    for (std::size_t i = 0; i < events.size(); ++i)
        if (events[i].kind == kind && (newState < 0 || events[i].b == newState)) return i;
    return events.size();
}

TEST_F(EngineTest, PlayGoesFromOpenToEndAndReportsSuccess) {
    engine_->Open(Media().shortVideo);
    // The state leaves 0 during the call itself.
    EXPECT_EQ(engine_->State(), kStateOpening);
    ASSERT_EQ(recorder_.events.size(), 1u);
    EXPECT_EQ(recorder_.events[0].kind, Kind::kStateChanged);
    EXPECT_EQ(recorder_.events[0].a, kStateClosed);
    EXPECT_EQ(recorder_.events[0].b, kStateOpening);

    ASSERT_TRUE(PumpUntil([&] { return recorder_.ReachedState(kStateClosed); }));
    const auto& events = recorder_.events;
    EXPECT_EQ(recorder_.Count(Kind::kOpenSucceeded), 1);
    EXPECT_LT(IndexOf(events, Kind::kOpenSucceeded),
              IndexOf(events, Kind::kStateChanged, kStatePlaying));
    EXPECT_NEAR(durationAtOpen_, 2000, 100);
    EXPECT_GE(recorder_.Count(Kind::kVideoSize), 1);
    // Every change is reported with the state it left.
    for (std::size_t i = 1, last = 0; i < events.size(); ++i) {
        if (events[i].kind != Kind::kStateChanged) continue;
        EXPECT_EQ(events[i].a, events[last].b) << "event " << i;
        last = i;
    }
    EXPECT_EQ(events.back().kind, Kind::kStateChanged);
    EXPECT_EQ(events.back().b, kStateClosed);
    EXPECT_EQ(engine_->GetConfig(7), "0");
    EXPECT_EQ(engine_->State(), kStateClosed);
    EXPECT_EQ(engine_->PositionMs(), 0);
    // mpv's threads only wake the creating thread up; no event runs anywhere else.
    for (const auto& e : events) EXPECT_EQ(e.thread, QCoreApplication::instance()->thread());
}

TEST_F(EngineTest, UnopenableSourcesEndWithNonZeroResult) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.file("junk.mp4"), std::string(4096, 'x'));
    for (const std::string& url :
         {dir.file("missing.mp4"), std::string(), std::string("#"), dir.file("junk.mp4")}) {
        SCOPED_TRACE("url '" + url + "'");
        recorder_.events.clear();
        engine_->Open(url);
        ASSERT_TRUE(PumpUntil([&] { return recorder_.ReachedState(kStateClosed); }));
        EXPECT_EQ(recorder_.Count(Kind::kOpenSucceeded), 0);
        ASSERT_EQ(recorder_.events.size(), 2u);
        EXPECT_EQ(recorder_.events[1].a, kStateOpening);
        EXPECT_NE(std::atoi(engine_->GetConfig(7).c_str()), 0);
        EXPECT_EQ(engine_->State(), kStateClosed);
    }
    // The next play starts with a clean result.
    recorder_.events.clear();
    OpenAndPlay(Media().shortVideo);
    EXPECT_EQ(engine_->GetConfig(7), "0");
}

TEST_F(EngineTest, CloseStopsWithoutAnyEvent) {
    OpenAndPlay(Media().mediumVideo);
    engine_->Close();
    EXPECT_EQ(engine_->State(), kStateClosed);
    std::size_t after = Mark();
    PumpFor(1500ms);
    EXPECT_EQ(Mark(), after);

    // Closed while still opening: nothing of that play follows either.
    engine_->Open(Media().mediumVideo);
    engine_->Close();
    after = Mark();
    PumpFor(1500ms);
    EXPECT_EQ(Mark(), after);
    EXPECT_EQ(engine_->State(), kStateClosed);
    EXPECT_FALSE(engine_->Play());

    // The engine stays usable.
    OpenAndPlay(Media().shortVideo);
}

TEST_F(EngineTest, NewerOpenSupersedesOlder) {
    // A failing open replaced at once: its failure never arrives.
    engine_->Open(Media().folder + "/missing.mp4");
    engine_->Open(Media().otherVideo);
    ASSERT_TRUE(PumpUntil([&] { return recorder_.ReachedState(kStateClosed); }));
    EXPECT_EQ(recorder_.Count(Kind::kOpenSucceeded), 1);
    EXPECT_NEAR(durationAtOpen_, 3000, 100);
    EXPECT_EQ(engine_->GetConfig(7), "0");
    EXPECT_EQ(IndexOf(recorder_.events, Kind::kStateChanged, kStateClosed),
              recorder_.events.size() - 1);

    // Two good sources in a row: only the second opens.
    recorder_.events.clear();
    durationAtOpen_ = -1;
    engine_->Open(Media().mediumVideo);
    engine_->Open(Media().otherVideo);
    ASSERT_TRUE(PumpUntil([&] { return recorder_.ReachedState(kStateClosed); }));
    EXPECT_EQ(recorder_.Count(Kind::kOpenSucceeded), 1);
    EXPECT_NEAR(durationAtOpen_, 3000, 100);
}

TEST_F(EngineTest, SeekReportsCompletionNearTarget) {
    EXPECT_FALSE(engine_->SetPosition(1000));  // nothing open
    OpenAndPlay(Media().mediumVideo);
    EXPECT_FALSE(engine_->SetPosition(-1));
    ASSERT_TRUE(engine_->SetPosition(6000));
    ASSERT_TRUE(PumpUntil([&] { return recorder_.Count(Kind::kSeekCompleted) == 1; }));
    EXPECT_NEAR(recorder_.Last(Kind::kSeekCompleted)->a, 6000, 250);
    EXPECT_GE(engine_->PositionMs(), 5750);

    // Backwards, while paused: still one completion, and the state stays paused.
    ASSERT_TRUE(engine_->Pause());
    ASSERT_TRUE(PumpUntil([&] { return engine_->State() == kStatePaused; }));
    ASSERT_TRUE(engine_->SetPosition(2000));
    ASSERT_TRUE(PumpUntil([&] { return recorder_.Count(Kind::kSeekCompleted) == 2; }));
    EXPECT_NEAR(recorder_.Last(Kind::kSeekCompleted)->a, 2000, 250);
    EXPECT_EQ(engine_->State(), kStatePaused);
}

// Seeks asked while the opening's own playback restart may still be on its way: each
// completion reports the position of the seek it belongs to, never the opening's or that of
// a seek replaced by a newer one.
TEST_F(EngineTest, BackToBackSeeksRightAfterOpenReportTheirOwnPositions) {
    constexpr int kRuns = 100;
    std::vector<int> expected;  // targets whose completion is awaited, in order
    std::vector<int> reported;
    int next = 0;  // the seek asked when the first completes
    recorder_.react = [&](const RecordedEvent& e) {
        if (e.kind == Kind::kOpenSucceeded) {
            engine_->Play();
            // Two at once: only the second counts.
            EXPECT_TRUE(engine_->SetPosition(expected[0] + 1500));
            EXPECT_TRUE(engine_->SetPosition(expected[0]));
        } else if (e.kind == Kind::kSeekCompleted) {
            reported.push_back(e.a);
            if (reported.size() == 1) {
                EXPECT_TRUE(engine_->SetPosition(next));
            }
        }
    };
    for (int run = 0; run < kRuns; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        const int first = 1000 + (run * 530) % 6000;
        next = 8000 - (run * 310) % 6000;
        expected = {first, next};
        reported.clear();
        engine_->Open(Media().mediumVideo);
        ASSERT_TRUE(PumpUntil([&] { return reported.size() >= 2; }, 30s));
        ASSERT_EQ(reported.size(), 2u);
        EXPECT_NEAR(reported[0], first, 250);
        EXPECT_NEAR(reported[1], next, 250);
        engine_->Close();
    }
}

TEST_F(EngineTest, PauseAndResumeReportThreeAndFive) {
    EXPECT_FALSE(engine_->Pause());
    OpenAndPlay(Media().mediumVideo);
    std::size_t from = Mark();
    ASSERT_TRUE(engine_->Pause());
    ASSERT_TRUE(PumpUntil([&] { return recorder_.ReachedState(kStatePaused, from); }));
    EXPECT_EQ(engine_->State(), kStatePaused);
    const int position = engine_->PositionMs();
    PumpFor(300ms);
    EXPECT_EQ(engine_->PositionMs(), position);

    from = Mark();
    ASSERT_TRUE(engine_->Play());
    ASSERT_TRUE(PumpUntil([&] { return recorder_.ReachedState(kStatePlaying, from); }));
    ASSERT_TRUE(PumpUntil([&] { return engine_->PositionMs() > position + 200; }));
    EXPECT_EQ(engine_->BufferState(), -1);
}

TEST_F(EngineTest, SettingsAreEchoedReportedOrRefused) {
    EXPECT_TRUE(engine_->SetConfig(2, "/opt/orvane/codecs"));
    EXPECT_EQ(engine_->GetConfig(2), "/opt/orvane/codecs");
    EXPECT_TRUE(engine_->SetConfig(613, ";12;65535;0"));
    EXPECT_EQ(engine_->GetConfig(613), ";12;65535;0");
    EXPECT_EQ(engine_->GetConfig(9999), "");
    for (int readOnly : {7, 20, 116, 2203}) EXPECT_FALSE(engine_->SetConfig(readOnly, "5"));
    EXPECT_EQ(engine_->GetConfig(7), "0");
    EXPECT_EQ(engine_->GetConfig(20),
              std::to_string(static_cast<long long>(engine_->Window()->winId())));
    EXPECT_EQ(engine_->GetConfig(116), "");  // nothing open
    EXPECT_EQ(engine_->GetConfig(2203), "");
    EXPECT_TRUE(engine_->SetConfig(612, "buffering"));
    EXPECT_TRUE(engine_->SetConfig(612, ""));

    for (int bad : {-1, 101}) EXPECT_FALSE(engine_->SetVolume(bad));
    EXPECT_TRUE(engine_->SetVolume(0));
    EXPECT_TRUE(engine_->SetVolume(100));

    // Subtitles: "load" without a file is refused; a real file loads once the media is open.
    EXPECT_FALSE(engine_->SetConfig(504, "1"));
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.file("a.srt"), "1\n00:00:00,000 --> 00:00:05,000\nhello\n\n");
    OpenAndPlay(Media().mediumVideo);
    EXPECT_FALSE(engine_->GetConfig(116).empty());
    EXPECT_TRUE(engine_->SetConfig(503, dir.file("a.srt")));
    EXPECT_TRUE(engine_->SetConfig(504, "1"));
    EXPECT_TRUE(engine_->SetConfig(503, dir.file("none.srt")));
    EXPECT_FALSE(engine_->SetConfig(504, "1"));
}

}  // namespace
}  // namespace aplayer::test
