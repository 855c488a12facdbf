// The engine on its own: task creation, the file table, states, the information block and
// what Release leaves behind. No peer is involved.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "kvbt_api.h"
#include "kvbt_downloader_info.h"
#include "loopback_engine.h"
#include "loopback_seeder.h"
#include "testsupport/hostile_files.h"
#include "testsupport/loopback.h"
#include "testsupport/media.h"
#include "testsupport/temp_dir.h"

using testsupport::TempDir;
using testsupport::WaitUntil;

namespace {

class EngineEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_EQ(kvbt_testing::StartLoopbackEngine(testsupport::FreeLoopbackPort()), 0);
    }
    void TearDown() override {
        KvBT_PreShutdown();
        KvBT_Shutdown();
    }
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new EngineEnvironment);

std::string PathOf(KvBTHandle task, int index, int fullPath) {
    char buffer[1024];
    int length = sizeof buffer;
    if (KvBT_Downloader_GetFilePathName(task, index, buffer, &length, fullPath) != 0) return "";
    return std::string(buffer, static_cast<std::size_t>(length));
}

bool AllHeld(KvBTHandle task) {
    const int count = KvBT_Downloader_GetPieceCount(task);
    int held = 0;
    std::vector<unsigned char> status(static_cast<std::size_t>(count));
    KvBT_Downloader_GetPiecesStatus(task, status.data(), count, &held);
    return count > 0 && held == count;
}

// A folder of three files (sizes not multiples of the piece) and its torrent.
struct MultiFileTorrent {
    TempDir dir;
    std::string content = dir.path() + "/data/show";
    std::string torrent = dir.file("show.torrent");
    MultiFileTorrent() {
        std::filesystem::create_directories(content);
        testsupport::MakeRandomFile(content + "/a.mkv", 100000, 1);
        testsupport::MakeRandomFile(content + "/b.mkv", 300000, 2);
        testsupport::MakeRandomFile(content + "/c.txt", 1000, 3);
        EXPECT_TRUE(kvbt_testing::MakeTorrent(content, 65536, torrent, true));
    }
};

}  // namespace

TEST(KvBTEngine, TorrentTaskShowsItsFileTableWithPadFiles) {
    MultiFileTorrent t;
    TempDir save;
    KvBTHandle task =
        KvBT_Downloader_Initialize(t.torrent.c_str(), save.path().c_str(),
                                   save.file("x.kvbt").c_str(), 1, 1, 0, nullptr, "x.dat", 0, 0);
    ASSERT_NE(task, nullptr);
    EXPECT_EQ(KvBT_Downloader_GetState(task), KVBT_STATE_READY);
    EXPECT_EQ(KvBT_Downloader_GetPieceSize(task), 65536);

    // Real files in torrent order, each starting on a piece boundary behind pad files.
    const int files = KvBT_Downloader_GetFileCount(task);
    std::vector<std::pair<std::string, std::int64_t>> real;
    std::int64_t expectedOffset = 0;
    for (int i = 0; i < files; ++i) {
        EXPECT_EQ(KvBT_Downloader_GetFileOffset(task, i), expectedOffset) << i;
        expectedOffset += KvBT_Downloader_GetFileSize(task, i);
        if (KvBT_Downloader_IsPadFile(task, i)) continue;
        EXPECT_EQ(KvBT_Downloader_GetFileOffset(task, i) % 65536, 0) << i;
        real.emplace_back(PathOf(task, i, 0), KvBT_Downloader_GetFileSize(task, i));
        EXPECT_EQ(PathOf(task, i, 1), save.path() + "/" + real.back().first);
    }
    EXPECT_GT(files, 3);  // pad files between the three
    EXPECT_EQ(expectedOffset, KvBT_Downloader_GetTotalFileSize(task));
    ASSERT_EQ(real.size(), 3u);
    EXPECT_EQ(real[0], std::make_pair(std::string("show/a.mkv"), std::int64_t{100000}));
    EXPECT_EQ(real[1], std::make_pair(std::string("show/b.mkv"), std::int64_t{300000}));
    EXPECT_EQ(real[2], std::make_pair(std::string("show/c.txt"), std::int64_t{1000}));
    EXPECT_EQ(KvBT_Downloader_GetPieceCount(task),
              static_cast<int>((KvBT_Downloader_GetTotalFileSize(task) + 65535) / 65536));

    // A buffer that is too small fails and tells the size needed.
    char small[4];
    int length = sizeof small;
    EXPECT_NE(KvBT_Downloader_GetFilePathName(task, 0, small, &length, 0), 0);
    EXPECT_EQ(length, static_cast<int>(std::strlen("show/a.mkv")) + 1);
    EXPECT_EQ(KvBT_Downloader_GetFileSize(task, files), 0);
    EXPECT_EQ(KvBT_Downloader_Release(task, 0), 0);
}

TEST(KvBTEngine, InformationBlockBeforeAnyDownload) {
    MultiFileTorrent t;
    TempDir save;
    KvBTHandle task = KvBT_Downloader_Initialize(t.torrent.c_str(), save.path().c_str(), "", 1, 1,
                                                 0, nullptr, "", 0, 0);
    ASSERT_NE(task, nullptr);
    std::vector<unsigned char> block(kvbt_info::kSize, 0xEE);
    ASSERT_EQ(KvBT_GetDownloaderInfo(task, block.data()), 0);
    const std::int64_t total = KvBT_Downloader_GetTotalFileSize(task);
    EXPECT_EQ(kvbt_info::ReadInt64(block.data(), kvbt_info::kTotalSize), total);
    EXPECT_EQ(kvbt_info::ReadInt64(block.data(), kvbt_info::kTotalSizeAgain), total);
    EXPECT_EQ(kvbt_info::ReadInt32(block.data(), kvbt_info::kPieceCount),
              KvBT_Downloader_GetPieceCount(task));
    EXPECT_EQ(kvbt_info::ReadInt32(block.data(), kvbt_info::kPieceLength), 65536);
    EXPECT_EQ(kvbt_info::ReadInt32(block.data(), kvbt_info::kPiecesHeld), 0);
    EXPECT_EQ(kvbt_info::ReadInt64(block.data(), kvbt_info::kBytesDownloaded), 0);
    EXPECT_EQ(kvbt_info::ReadInt32(block.data(), kvbt_info::kTrackerComplete), -1);
    EXPECT_EQ(block[200], 0);  // unnamed bytes are zero
    EXPECT_EQ(block[431], 0);
    EXPECT_EQ(KvBT_Downloader_Release(task, 0), 0);
}

TEST(KvBTEngine, UploadOnlyTaskChecksItsFilesThenReportsThemHeld) {
    MultiFileTorrent t;
    const std::string state = t.dir.file("show.kvbt");
    KvBTHandle task =
        KvBT_Downloader_Initialize(t.torrent.c_str(), (t.dir.path() + "/data").c_str(),
                                   state.c_str(), 1, 1, 0, nullptr, "", 0, 0);
    ASSERT_NE(task, nullptr);
    ASSERT_EQ(KvBT_Downloader_SetOnlyUpload(task, 1), 0);
    ASSERT_TRUE(
        WaitUntil([&] { return KvBT_Downloader_GetState(task) == KVBT_STATE_UPLOAD_READY; }));
    EXPECT_TRUE(AllHeld(task));
    EXPECT_EQ(KvBT_Downloader_IsPaused(task), 1);  // waits for Resume
    EXPECT_EQ(KvBT_Downloader_Resume(task), 0);
    EXPECT_TRUE(WaitUntil([&] { return KvBT_Downloader_IsPaused(task) == 0; }));

    // Release keeps the data and writes the resume state, so the next task starts at once.
    EXPECT_EQ(KvBT_Downloader_Release(task, 0), 0);
    EXPECT_NE(testsupport::ReadFile(state), "");
    EXPECT_EQ(testsupport::ReadFile(t.content + "/b.mkv").size(), 300000u);
    KvBTHandle again =
        KvBT_Downloader_Initialize(t.torrent.c_str(), (t.dir.path() + "/data").c_str(),
                                   state.c_str(), 1, 1, 0, nullptr, "", 0, 0);
    ASSERT_NE(again, nullptr);
    KvBT_Downloader_SetOnlyUpload(again, 1);
    EXPECT_TRUE(WaitUntil([&] { return AllHeld(again); }));
    EXPECT_EQ(KvBT_Downloader_Release(again, 0), 0);
}

TEST(KvBTEngine, BadInputFailsCleanly) {
    TempDir dir;
    testsupport::WriteFile(dir.file("junk.torrent"), "d4:junke");
    EXPECT_EQ(KvBT_Downloader_Initialize(dir.file("junk.torrent").c_str(), dir.path().c_str(), "",
                                         1, 1, 0, nullptr, "", 0, 0),
              nullptr);
    EXPECT_EQ(KvBT_Downloader_Initialize(dir.file("none.torrent").c_str(), dir.path().c_str(), "",
                                         1, 1, 0, nullptr, "", 0, 0),
              nullptr);
    // A name that is no regular file is neither waited on nor read without end.
    for (const auto& hostile : testsupport::MakeHostileFiles(dir.path())) {
        KvBTHandle task = reinterpret_cast<KvBTHandle>(1);
        EXPECT_TRUE(testsupport::ReturnsWithin(
            [&] {
                task = KvBT_Downloader_Initialize(hostile.path.c_str(), dir.path().c_str(), "", 1,
                                                  1, 0, nullptr, "", 0, 0);
            },
            dir.path()))
            << hostile.what;
        EXPECT_EQ(task, nullptr) << hostile.what;
    }
    EXPECT_EQ(
        KvBT_Downloader_Initialize_FromUrl("kvbt://abc", dir.path().c_str(), "", 1, 0, "", 0, 0),
        nullptr);
    EXPECT_EQ(KvBT_Downloader_Initialize_FromUrl("magnet:?xt=urn:btih:zz", dir.path().c_str(), "",
                                                 1, 0, "", 0, 0),
              nullptr);
    // Unknown handles answer failure, never crash.
    KvBTHandle bogus = reinterpret_cast<KvBTHandle>(static_cast<uintptr_t>(987654));
    unsigned char status[4];
    int held = 7;
    EXPECT_EQ(KvBT_Downloader_GetState(bogus), KVBT_STATE_UNKNOWN);
    EXPECT_NE(KvBT_Downloader_GetPiecesStatus(bogus, status, 4, &held), 0);
    EXPECT_EQ(held, 0);
    EXPECT_NE(KvBT_Downloader_Release(nullptr, 0), 0);
    EXPECT_NE(KvBT_GetDownloaderInfo(bogus, status), 0);
    EXPECT_NE(KvBT_Downloader_SaveTorrentFile(bogus, dir.file("x").c_str(), 0), 0);

    // The same torrent twice is refused; a released handle is dead.
    MultiFileTorrent t;
    KvBTHandle first = KvBT_Downloader_Initialize(t.torrent.c_str(), dir.path().c_str(), "", 1, 1,
                                                  0, nullptr, "", 0, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(KvBT_Downloader_Initialize(t.torrent.c_str(), dir.path().c_str(), "", 1, 1, 0,
                                         nullptr, "", 0, 0),
              nullptr);
    EXPECT_NE(KvBT_Downloader_SetPiecePrioritize(first, 100000, 1, 0), 0);
    EXPECT_NE(KvBT_Downloader_SetPiecePrioritize(first, 0, 3, 0), 0);
    EXPECT_EQ(KvBT_Downloader_Release(first, 0), 0);
    EXPECT_NE(KvBT_Downloader_Release(first, 0), 0);
    EXPECT_EQ(KvBT_Downloader_GetPieceCount(first), 0);
}

TEST(KvBTEngine, SavedTorrentFileKeepsTheTorrentIdentity) {
    MultiFileTorrent t;
    TempDir save;
    KvBTHandle task = KvBT_Downloader_Initialize(t.torrent.c_str(), save.path().c_str(), "", 1, 1,
                                                 0, nullptr, "", 0, 0);
    ASSERT_NE(task, nullptr);
    const std::string copy = save.file("copy.torrent");
    ASSERT_EQ(KvBT_Downloader_SaveTorrentFile(task, copy.c_str(), 0), 0);
    EXPECT_EQ(kvbt_testing::MagnetOf(copy), kvbt_testing::MagnetOf(t.torrent));
    EXPECT_FALSE(kvbt_testing::MagnetOf(copy).empty());
    EXPECT_EQ(KvBT_Downloader_Release(task, 0), 0);
}

TEST(KvBTEngine, PieceDataFromAnotherSourceFillsWholePiecesOnly) {
    TempDir dir;
    std::filesystem::create_directories(dir.path() + "/src");
    const std::string file = dir.path() + "/src/clip.bin";
    ASSERT_TRUE(testsupport::MakeRandomFile(file, 5 * 16384, 9));
    const std::string bytes = testsupport::ReadFile(file);
    ASSERT_TRUE(kvbt_testing::MakeTorrent(file, 16384, dir.file("clip.torrent")));
    TempDir save;
    KvBTHandle task = KvBT_Downloader_Initialize(
        dir.file("clip.torrent").c_str(), save.path().c_str(), "", 1, 1, 0, nullptr, "", 0, 0);
    ASSERT_NE(task, nullptr);
    // Handed over at once, while the task still checks its files.
    // Bytes from the middle of piece 0 to the middle of piece 3: pieces 1 and 2 are whole.
    const std::int64_t from = 8000, to = 3 * 16384 + 100;
    ASSERT_EQ(KvBT_Downloader_AddPartPieceData(task, from, to - from, bytes.data() + from), 0);
    ASSERT_EQ(KvBT_Downloader_Resume(task), 0);
    ASSERT_TRUE(WaitUntil([&] {
        unsigned char status[5] = {};
        int held = 0;
        KvBT_Downloader_GetPiecesStatus(task, status, 5, &held);
        return held == 2 && status[1] && status[2];
    }));
    unsigned char status[5] = {};
    int held = 0;
    KvBT_Downloader_GetPiecesStatus(task, status, 5, &held);
    EXPECT_EQ(std::vector<unsigned char>(status, status + 5),
              (std::vector<unsigned char>{0, 1, 1, 0, 0}));
    std::string written = testsupport::ReadFile(save.path() + "/clip.bin");
    ASSERT_GE(written.size(), 3u * 16384);
    EXPECT_EQ(written.substr(16384, 2 * 16384), bytes.substr(16384, 2 * 16384));
    EXPECT_NE(KvBT_Downloader_AddPartPieceData(task, -1, 10, bytes.data()), 0);
    EXPECT_EQ(KvBT_Downloader_Release(task, 0), 0);
}
