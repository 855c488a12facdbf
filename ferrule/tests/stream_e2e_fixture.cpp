#include "stream_e2e_fixture.h"

#include "ferrule_api.h"
#include "file_utils.h"
#include "stream_test_service.h"
#include "task_key.h"
#include "testsupport/loopback.h"
#include "testsupport/media.h"

namespace stream_testing {

void StreamE2ETest::SetUp() {
    files_ = std::make_unique<TestFileServer>(seed_.path());
    timings_.idleCloseMs = 1500;
    timings_.idleTestMs = 200;
    timings_.throttleRestoreMs = 1000;
    timings_.metadataWaitMs = 10000;
    timings_.torrentFetchMs = 5000;
}

void StreamE2ETest::TearDown() {
    ZP2PUninitServer();
    seeder_.reset();
    files_.reset();
    SetStreamTimingsForTesting(StreamTimingValues());
}

TestTorrent StreamE2ETest::MakeSingle(const std::string& name, long long size, int pieceSize,
                                      unsigned seed) {
    TestTorrent t;
    const std::string data = seed_.file("data_" + name);
    const std::string file = data + "/" + name + ".bin";
    testsupport::WriteFile(file, "");
    EXPECT_TRUE(testsupport::MakeRandomFile(file, size, seed));
    t.torrentPath = seed_.file(name + ".torrent");
    EXPECT_TRUE(kvbt_testing::MakeTorrent(file, pieceSize, t.torrentPath));
    t.torrentUrl = files_->Url(name + ".torrent");
    t.streamed = testsupport::ReadFile(file);
    t.key = MakeTaskKey(t.torrentUrl);
    t.pieceSize = pieceSize;
    seeded_.emplace_back(t.torrentPath, data);
    return t;
}

TestTorrent StreamE2ETest::MakeMultiFile(const std::string& name, long long smallSize,
                                         long long largeSize, int pieceSize) {
    TestTorrent t;
    const std::string data = seed_.file("data_" + name);
    const std::string folder = data + "/" + name;
    testsupport::WriteFile(folder + "/a_small.bin", "");
    testsupport::WriteFile(folder + "/b_large.bin", "");
    EXPECT_TRUE(testsupport::MakeRandomFile(folder + "/a_small.bin", smallSize, 11));
    EXPECT_TRUE(testsupport::MakeRandomFile(folder + "/b_large.bin", largeSize, 12));
    t.torrentPath = seed_.file(name + ".torrent");
    EXPECT_TRUE(kvbt_testing::MakeTorrent(folder, pieceSize, t.torrentPath));
    t.torrentUrl = files_->Url(name + ".torrent");
    t.streamed = testsupport::ReadFile(folder + "/b_large.bin");
    t.key = MakeTaskKey(t.torrentUrl);
    t.pieceSize = pieceSize;
    seeded_.emplace_back(t.torrentPath, data);
    return t;
}

std::string StreamE2ETest::StreamPath(const std::string& source) const {
    return "/bturl:" + Base64Encode(source) + ",sources:" +
           Base64Encode("127.0.0.1:" + std::to_string(seeder_ ? seeder_->Port() : 0)) +
           ",private:" + Base64Encode("false") + ",crypt:" + Base64Encode("false");
}

void StreamE2ETest::StartService(int seederUploadLimit, kvbt_testing::SeederTransport transport) {
    seeder_ = std::make_unique<kvbt_testing::LoopbackSeeder>(seederUploadLimit, 0, transport);
    for (const auto& s : seeded_) ASSERT_TRUE(seeder_->Seed(s.first, s.second));
    SetStreamTimingsForTesting(timings_);
    port_ = testsupport::FreeLoopbackPort();
    StartShippedService(port_);
    ASSERT_NE(nullptr, GetStreamTaskManager());
}

}  // namespace stream_testing
