// A playlist of a video's segments plays as one media; other files and streaming playlists
// reach mpv unchanged.
#include "segment_list.h"

#include "engine_fixture.h"
#include "testsupport/hostile_files.h"
#include "testsupport/temp_dir.h"

namespace aplayer::test {
namespace {

using Kind = RecordedEvent::Kind;

std::string Prefixed(const std::string& path) {
    return "%" + std::to_string(path.size()) + "%" + path;
}

TEST(SegmentListTest, JoinsSegmentsIntoOneTimeline) {
    testsupport::TempDir dir;
    const std::string list = dir.file("ov1A2B.tmp");
    testsupport::WriteFile(list,
                           "#EXTM3U\r\n#EXTINF:120,\r\nhttp://cdn.example/a;b,c.flv\r\n"
                           "# a comment\r\n\r\n#EXTINF:95,\r\npart2.flv\r\n#EXT-X-ENDLIST\r\n");
    EXPECT_EQ(SegmentListAsTimeline(list), "edl://" + Prefixed("http://cdn.example/a;b,c.flv") +
                                               ";" + Prefixed(dir.path() + "/part2.flv"));
}

TEST(SegmentListTest, LeavesEverythingElseToMpv) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.file("live.m3u8"),
                           "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\nseg1.ts\n");
    testsupport::WriteFile(dir.file("empty.m3u"), "#EXTM3U\n#EXT-X-ENDLIST\n");
    testsupport::WriteFile(dir.file("video.mp4"), "not a list at all");
    for (const std::string& url :
         {dir.file("live.m3u8"), dir.file("empty.m3u"), dir.file("video.mp4"),
          dir.file("missing.m3u"), std::string("http://host/list.m3u"), std::string("#")})
        EXPECT_EQ(SegmentListAsTimeline(url), url);
    // Neither waited on nor read without end.
    for (const auto& hostile : testsupport::MakeHostileFiles(dir.path())) {
        std::string timeline;
        EXPECT_TRUE(testsupport::ReturnsWithin(
            [&] { timeline = SegmentListAsTimeline(hostile.path); }, dir.path()))
            << hostile.what;
        EXPECT_EQ(timeline, hostile.path);
    }
}

TEST_F(EngineTest, SegmentListPlaysAsOneMedia) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.file("list.m3u"), "#EXTM3U\n#EXTINF:2,\n" + Media().shortVideo +
                                                     "\n#EXTINF:3,\n" + Media().otherVideo +
                                                     "\n#EXT-X-ENDLIST\n");
    engine_->Open(dir.file("list.m3u"));
    ASSERT_TRUE(PumpUntil([&] { return recorder_.ReachedState(kStateClosed); }));
    EXPECT_EQ(recorder_.Count(Kind::kOpenSucceeded), 1);
    EXPECT_NEAR(durationAtOpen_, 5000, 150);
    EXPECT_EQ(engine_->GetConfig(7), "0");
    // The picture size changed between the segments, and the play ended only once.
    EXPECT_EQ(recorder_.Count(Kind::kVideoSize), 2);
    int ends = 0;
    for (const auto& e : recorder_.events)
        if (e.kind == Kind::kStateChanged && e.b == kStateClosed) ++ends;
    EXPECT_EQ(ends, 1);
}

}  // namespace
}  // namespace aplayer::test
