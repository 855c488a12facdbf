// Streams end to end: the bytes of every range form equal the source, for single-file,
// multi-file and magnet sources, and a seek replaces the running stream.
#include <chrono>

#include "ferrule_api.h"
#include "file_utils.h"
#include "stream_e2e_fixture.h"
#include "testsupport/loopback.h"
#include "testsupport/media.h"

using namespace std::chrono_literals;

namespace stream_testing {

namespace {

// Checks each range form against the bytes the service should stream.
void ExpectRanges(int port, const std::string& path, const std::string& source) {
    const std::size_t size = source.size();
    auto r = Get(port, path, "Range: bytes=0-");
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(206, r.status);
    EXPECT_EQ(std::to_string(size), r.headers["content-length"]);
    EXPECT_EQ("bytes 0-" + std::to_string(size - 1) + "/" + std::to_string(size),
              r.headers["content-range"]);
    EXPECT_TRUE(r.body == source) << "full stream differs, got " << r.body.size() << " bytes";

    const std::size_t n = size / 2 + 12345;
    r = Get(port, path, "Range: bytes=" + std::to_string(n) + "-");
    EXPECT_EQ(206, r.status);
    EXPECT_TRUE(r.body == source.substr(n)) << "tail differs";

    const std::size_t a = size / 3 + 7, b = size / 3 + 300000;
    r = Get(port, path, "Range: bytes=" + std::to_string(a) + "-" + std::to_string(b));
    EXPECT_EQ(206, r.status);
    EXPECT_EQ(std::to_string(b - a + 1), r.headers["content-length"]);
    EXPECT_TRUE(r.body == source.substr(a, b - a + 1)) << "inclusive range differs";

    r = Get(port, path, "Range: bytes=-1000");
    EXPECT_EQ(206, r.status);
    EXPECT_TRUE(r.body == source.substr(size - 1000)) << "suffix range differs";

    r = Get(port, path + "?start=" + std::to_string(a) + "&end=" + std::to_string(b));
    EXPECT_EQ(200, r.status);
    EXPECT_EQ(std::to_string(b - a), r.headers["content-length"]);
    EXPECT_TRUE(r.body == source.substr(a, b - a)) << "query range differs";

    r = Get(port, path, "Range: bytes=" + std::to_string(size) + "-");
    EXPECT_EQ(416, r.status);
    EXPECT_TRUE(r.closed);
    r = Get(port, path, "Range: bytes=500-100");
    EXPECT_EQ(416, r.status);
    EXPECT_TRUE(r.closed);
}

}  // namespace

TEST_F(StreamE2ETest, SingleFileTorrentStreamsEveryRangeForm) {
    const TestTorrent t = MakeSingle("single", 3 * 1024 * 1024 + 1234, 256 * 1024, 5);
    StartService();
    ExpectRanges(port_, StreamPath(t), t.streamed);
    EXPECT_EQ(1u, Manager().TaskCount());
    EXPECT_EQ(1, files_->requests());  // the torrent was fetched once and kept
}

// The seeder's transports as peers offer them: TCP and uTP (most peers), or TCP alone. A
// stream from either arrives whole and without stalling.
TEST_F(StreamE2ETest, StreamsWholeFromSeedersOfEitherTransport) {
    for (const auto transport :
         {kvbt_testing::SeederTransport::TcpAndUtp, kvbt_testing::SeederTransport::TcpOnly}) {
        const bool utp = transport == kvbt_testing::SeederTransport::TcpAndUtp;
        SCOPED_TRACE(utp ? "TCP and uTP" : "TCP only");
        const TestTorrent t =
            MakeSingle(utp ? "both" : "tcp", 24 * 1024 * 1024 + 99, 1024 * 1024, utp ? 31 : 32);
        StartService(0, transport);
        // A new task from late in the file first, then the whole file.
        const std::size_t at = t.streamed.size() - 3 * 1024 * 1024 - 5;
        auto r = Get(port_, StreamPath(t), "Range: bytes=" + std::to_string(at) + "-", 20s);
        EXPECT_EQ(206, r.status);
        EXPECT_TRUE(r.body == t.streamed.substr(at)) << "the tail differs";
        r = Get(port_, StreamPath(t), "Range: bytes=0-", 20s);
        EXPECT_EQ(t.streamed.size(), r.body.size());
        EXPECT_TRUE(r.body == t.streamed) << "the stream differs";
        ZP2PUninitServer();
        seeded_.clear();
    }
}

TEST_F(StreamE2ETest, MultiFileTorrentStreamsItsLargeFileFromItsOffset) {
    // The small first file shifts the large one off a piece boundary.
    const TestTorrent t = MakeMultiFile("multi", 100003, 2 * 1024 * 1024 + 77, 64 * 1024);
    StartService();
    ExpectRanges(port_, StreamPath(t), t.streamed);
}

TEST_F(StreamE2ETest, MagnetLinkStreams) {
    const TestTorrent t = MakeSingle("magnet", 1024 * 1024 + 5, 64 * 1024, 8);
    StartService();
    const std::string magnet = kvbt_testing::MagnetOf(t.torrentPath);
    ASSERT_FALSE(magnet.empty());
    const auto r = Get(port_, StreamPath(magnet), "Range: bytes=1000-");
    EXPECT_EQ(206, r.status);
    EXPECT_TRUE(r.body == t.streamed.substr(1000));
    EXPECT_EQ(0, files_->requests());
}

TEST_F(StreamE2ETest, UnreachableTorrentIs404AndClosed) {
    StartService();
    const auto r = Get(port_, StreamPath(files_->Url("missing.torrent")), "Range: bytes=0-", 20s);
    EXPECT_EQ(404, r.status);
    EXPECT_TRUE(r.closed);
    EXPECT_EQ(0u, Manager().TaskCount());
}

TEST_F(StreamE2ETest, BadCachedTorrentIsFetchedAgain) {
    const TestTorrent t = MakeSingle("cached", 512 * 1024, 64 * 1024, 9);
    testsupport::WriteFile(folders_.user().Cache("MediaData/" + t.key + ".torrent"),
                           "not a torrent");
    StartService();
    const auto r = Get(port_, StreamPath(t), "Range: bytes=0-");
    EXPECT_EQ(206, r.status);
    EXPECT_TRUE(r.body == t.streamed);
}

// The user's cache folder is the default save folder and holds the stream cache "MediaData".
// A torrent whose content is named "MediaData", by its torrent file or its magnet link, would
// save its files among the cached torrents: it is refused before anything of it is written
// there, not even the empty file that files are checked by. Other torrents stream into the
// same folder as ever.
TEST_F(StreamE2ETest, NoTorrentSavesItsFilesIntoTheStreamCache) {
    const std::string saveFolder = folders_.user().Cache() + "/";
    testsupport::WriteFile(app_.file("ini/path.ini"),
                           "[AppSetting]\nsavePath=" + saveFolder + "\n");
    const TestTorrent fine = MakeSingle("fine", 512 * 1024 + 3, 64 * 1024, 21);
    // The content names the cached torrent of the stream above, empty, and a video.
    const std::string content = seed_.file("hostile/MediaData/");
    testsupport::WriteFile(content + fine.key + ".torrent", "");
    ASSERT_TRUE(testsupport::MakeRandomFile(content + "video.bin", 1024 * 1024 + 77, 13));
    const std::string hostile = seed_.file("hostile.torrent");
    ASSERT_TRUE(kvbt_testing::MakeTorrent(content, 64 * 1024, hostile));
    seeded_.emplace_back(hostile, seed_.file("hostile"));
    StartService();

    const std::string cache = folders_.user().Cache("MediaData/");
    for (const std::string& source :
         {files_->Url("hostile.torrent"), kvbt_testing::MagnetOf(hostile)}) {
        SCOPED_TRACE(source);
        const auto r = Get(port_, StreamPath(source), "Range: bytes=0-", 20s);
        EXPECT_EQ(404, r.status);
        EXPECT_FALSE(FileExists(cache + fine.key + ".torrent"));
        EXPECT_FALSE(FileExists(cache + "video.bin"));
    }
    const auto r = Get(port_, StreamPath(fine), "Range: bytes=0-");
    EXPECT_EQ(206, r.status);
    EXPECT_TRUE(r.body == fine.streamed);
    EXPECT_TRUE(FileExists(saveFolder + "fine.bin"));
}

TEST_F(StreamE2ETest, SeekStartsANewStreamAndTheOldOneCloses) {
    timings_.idleCloseMs = 800;
    const TestTorrent t = MakeSingle("seek", 12 * 1024 * 1024, 64 * 1024, 6);
    // A slow seeder keeps the download running while the streams read.
    StartService(512 * 1024);
    const std::string path = StreamPath(t);

    StreamReader first(port_, path, "Range: bytes=0-");
    ASSERT_TRUE(first.ReadHeaders());
    EXPECT_EQ(206, first.status());
    const std::string head = first.ReadBody(100000, 20s);
    EXPECT_TRUE(head == t.streamed.substr(0, head.size()));
    ASSERT_FALSE(head.empty());

    // Far enough from the end that the stream outlives the idle time.
    const std::size_t at = 1024 * 1024 + 100;
    StreamReader second(port_, path, "Range: bytes=" + std::to_string(at) + "-");
    ASSERT_TRUE(second.ReadHeaders());
    EXPECT_TRUE(first.WaitClosed(5s));
    const std::string part = second.ReadBody(200000, 30s);
    EXPECT_EQ(200000u, part.size());
    EXPECT_TRUE(part == t.streamed.substr(at, part.size()));

    // The live stream keeps its task past the idle time.
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    EXPECT_TRUE(Manager().HasTask(t.key));
    const std::string more = second.ReadBody(1000, 30s);
    EXPECT_TRUE(more == t.streamed.substr(at + part.size(), more.size()));
}
}  // namespace stream_testing
