#include "engine_fixture.h"

#include "testsupport/media.h"
#include "testsupport/temp_dir.h"

namespace aplayer::test {

const TestMedia& Media() {
    static testsupport::TempDir dir;
    static const TestMedia media = [] {
        TestMedia m;
        m.folder = dir.path();
        m.shortVideo = dir.file("short.mp4");
        m.otherVideo = dir.file("other.mkv");
        m.mediumVideo = dir.file("medium.mp4");
        m.longVideo = dir.file("long.mp4");
        const bool made = testsupport::MakeTestVideo(m.shortVideo, 2.0) &&
                          testsupport::MakeTestVideo(m.otherVideo, 3.0, 160, 120) &&
                          testsupport::MakeTestVideo(m.mediumVideo, 10.0) &&
                          testsupport::MakeTestVideo(m.longVideo, 60.0);
        if (!made) ADD_FAILURE() << "ffmpeg could not make the test media";
        return m;
    }();
    return media;
}

void EngineTest::SetUp() {
    Media();
    std::string error;
    engine_ = MpvEngine::Create(&recorder_, {{"vo", "null"}, {"ao", "null"}}, &error);
    ASSERT_TRUE(engine_) << error;
    recorder_.react = [this](const RecordedEvent& e) {
        if (e.kind != RecordedEvent::kOpenSucceeded) return;
        durationAtOpen_ = engine_->DurationMs();
        engine_->Play();
    };
}

void EngineTest::TearDown() { engine_.reset(); }

void EngineTest::OpenAndPlay(const std::string& url) {
    const std::size_t from = Mark();
    engine_->Open(url);
    ASSERT_TRUE(PumpUntil([&] { return recorder_.ReachedState(kStatePlaying, from); }))
        << "never played " << url;
}

}  // namespace aplayer::test
