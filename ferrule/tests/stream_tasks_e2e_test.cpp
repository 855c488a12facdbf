// Stream tasks over time: task information while streaming, one task at a time, throttling
// of a task whose connections are gone, idle close and upload-only seeding.
#include <chrono>
#include <cstring>
#include <thread>

#include "ferrule_api.h"
#include "kvbt_downloader_info.h"
#include "stream_e2e_fixture.h"
#include "testsupport/loopback.h"

using namespace std::chrono_literals;

namespace stream_testing {

namespace {

std::int64_t ReadI64(const unsigned char* p) {
    std::int64_t v = 0;
    std::memcpy(&v, p, sizeof(v));
    return v;
}

std::int32_t ReadI32(const unsigned char* p) {
    std::int32_t v = 0;
    std::memcpy(&v, p, sizeof(v));
    return v;
}

struct Snapshot {
    bool ok = false;
    std::int64_t held = 0;
    std::int32_t pieces = 0;
    std::string map;
};

Snapshot Info(const std::string& url) {
    ZP2PTaskInfo info{};
    info.cbSize = sizeof(ZP2PTaskInfo);
    Snapshot s;
    s.ok = ZP2PGetTaskInfo(url.c_str(), &info);
    if (!s.ok) return s;
    s.held = ReadI64(info.info + kvbt_info::kBytesHeld);
    s.pieces = ReadI32(info.info + kvbt_info::kPieceCount);
    s.map = info.pieceMap;
    ZP2PFreeTaskInfoData(&info);
    return s;
}

}  // namespace

TEST_F(StreamE2ETest, TaskInfoGrowsWhileStreaming) {
    const TestTorrent t = MakeSingle("info", 4 * 1024 * 1024, 64 * 1024, 21);
    StartService(1024 * 1024);
    StreamReader reader(port_, StreamPath(t), "Range: bytes=0-");
    ASSERT_TRUE(reader.ReadHeaders());

    Snapshot early;
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] {
            early = Info(t.torrentUrl);
            return early.ok && early.held > 0 && early.map.find('1') != std::string::npos;
        },
        20s, 50ms));
    EXPECT_EQ(64, early.pieces);
    ASSERT_EQ(64u, early.map.size());
    EXPECT_EQ(std::string::npos, early.map.find_first_not_of("01"));
    // The pieces at the play position come first (the four most urgent may come in any order).
    EXPECT_LT(early.map.find('1'), 4u) << early.map;

    reader.ReadBody(2 * 1024 * 1024, 30s);
    Snapshot later;
    EXPECT_TRUE(testsupport::WaitUntil(
        [&] {
            later = Info(t.torrentUrl);
            return later.held > early.held;
        },
        20s, 50ms));
    EXPECT_GT(std::count(later.map.begin(), later.map.end(), '1'),
              std::count(early.map.begin(), early.map.end(), '1'));
}

TEST_F(StreamE2ETest, ASecondKeyClosesTheFirstTask) {
    const TestTorrent a = MakeSingle("first", 1024 * 1024, 64 * 1024, 31);
    const TestTorrent b = MakeSingle("second", 1024 * 1024, 64 * 1024, 32);
    StartService();
    auto r = Get(port_, StreamPath(a), "Range: bytes=0-");
    ASSERT_TRUE(r.body == a.streamed);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Info(a.torrentUrl).held > 0; }, 10s));
    EXPECT_TRUE(Manager().HasTask(a.key));

    r = Get(port_, StreamPath(b), "Range: bytes=0-");
    ASSERT_TRUE(r.body == b.streamed);
    EXPECT_FALSE(Manager().HasTask(a.key));
    EXPECT_TRUE(Manager().HasTask(b.key));
    EXPECT_EQ(1u, Manager().TaskCount());
    EXPECT_EQ(0, Info(a.torrentUrl).held);  // its record went with it
    EXPECT_EQ(2u, Manager().Uploads().GetEntries().size());
}

TEST_F(StreamE2ETest, IdleTaskIsThrottledClosedAndSeededUntilTheNextStream) {
    timings_.idleCloseMs = 1500;
    const TestTorrent a = MakeSingle("idle", 1024 * 1024, 64 * 1024, 41);
    const TestTorrent b = MakeSingle("other", 512 * 1024, 64 * 1024, 42);
    StartService();
    auto r = Get(port_, StreamPath(a), "Range: bytes=0-");
    ASSERT_TRUE(r.body == a.streamed);

    // The last connection went: throttled at once, closed only after the idle time.
    EXPECT_TRUE(testsupport::WaitUntil([&] { return Manager().IsTaskThrottled(a.key); }, 5s));
    EXPECT_TRUE(Manager().HasTask(a.key));
    EXPECT_TRUE(Manager().Uploads().GetSeeders().empty());

    // A new request restores the normal limits at once.
    {
        StreamReader again(port_, StreamPath(a), "Range: bytes=100-");
        ASSERT_TRUE(again.ReadHeaders());
        EXPECT_TRUE(again.ReadBody(100, 10s) == a.streamed.substr(100, 100));
        EXPECT_FALSE(Manager().IsTaskThrottled(a.key));
    }
    EXPECT_TRUE(testsupport::WaitUntil([&] { return Manager().IsTaskThrottled(a.key); }, 5s));

    ASSERT_TRUE(testsupport::WaitUntil([&] { return !Manager().HasTask(a.key); }, 20s));
    // Only the closed task's torrent goes on uploading.
    ASSERT_TRUE(
        testsupport::WaitUntil([&] { return Manager().Uploads().GetSeeders().size() == 1; }, 10s));
    EXPECT_NE(std::string::npos,
              Manager().Uploads().GetSeeders()[0].torrentFile.find(a.key + ".torrent"));

    // The next stream stops the seeding.
    r = Get(port_, StreamPath(b), "Range: bytes=0-");
    EXPECT_TRUE(r.body == b.streamed);
    EXPECT_TRUE(Manager().Uploads().GetSeeders().empty());
}

TEST_F(StreamE2ETest, ClientHangingUpWhileWaitingForPiecesReleasesTheTask) {
    const TestTorrent t = MakeSingle("unseeded", 512 * 1024, 64 * 1024, 51);
    seeded_.clear();  // nobody has the pieces: the stream waits for ever
    StartService();
    {
        StreamReader reader(port_, StreamPath(t), "Range: bytes=0-");
        ASSERT_TRUE(reader.ReadHeaders());
        EXPECT_EQ(206, reader.status());
        EXPECT_FALSE(Manager().IsTaskThrottled(t.key));
    }
    // The connection goes with its client, so the task is throttled as idle.
    EXPECT_TRUE(testsupport::WaitUntil([&] { return Manager().IsTaskThrottled(t.key); }, 5s));
}

}  // namespace stream_testing
