// Shared set-up of the engine tests: media generated once per run, and an engine with null
// video and audio output whose events go to a recorder.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "event_recorder.h"
#include "mpv_engine.h"

namespace aplayer::test {

struct TestMedia {
    std::string shortVideo;   // 2 s, 320x240
    std::string otherVideo;   // 3 s, 160x120
    std::string mediumVideo;  // 10 s
    std::string longVideo;    // 60 s
    std::string folder;
};

// Made on first use; removed when the test program ends.
const TestMedia& Media();

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens `url`, plays once opened and waits for state 5.
    void OpenAndPlay(const std::string& url);
    // Index of the next event to be recorded.
    std::size_t Mark() const { return recorder_.events.size(); }

    EventRecorder recorder_;
    std::unique_ptr<MpvEngine> engine_;
    int durationAtOpen_ = -1;
};

}  // namespace aplayer::test
