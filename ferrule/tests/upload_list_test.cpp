// The seeding list against the real engine, with a loopback peer that fetches what it seeds.
#include "upload_list.h"

#include <gtest/gtest.h>

#include <climits>

#include "file_utils.h"
#include "loopback_engine.h"
#include "loopback_seeder.h"
#include "testsupport/loopback.h"
#include "testsupport/media.h"
#include "testsupport/temp_dir.h"

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WaitUntil;
using testsupport::WriteFile;

namespace {

int g_enginePort = 0;

class EngineEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        g_enginePort = testsupport::FreeLoopbackPort();
        ASSERT_EQ(kvbt_testing::StartLoopbackEngine(g_enginePort), 0);
    }
    void TearDown() override { KvBT_Shutdown(); }
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new EngineEnvironment);

// A streamed torrent as the stream tasks leave it: MediaData/<key>.torrent beside its
// .kvbt and .rent files, and the media in a save folder.
struct Streamed {
    std::string key;
    std::string torrent;
    std::string saveFolder;
    std::string media;
};

Streamed MakeStreamed(const TempDir& dir, const std::string& key, long long size) {
    Streamed s;
    s.key = key;
    s.saveFolder = dir.path() + "/media/";
    s.media = s.saveFolder + key + ".mkv";
    s.torrent = dir.path() + "/MediaData/" + key + ".torrent";
    CreateDirectoryPath(dir.path() + "/MediaData");
    CreateDirectoryPath(s.saveFolder);
    EXPECT_TRUE(testsupport::MakeRandomFile(s.media, size, 3));
    EXPECT_TRUE(kvbt_testing::MakeTorrent(s.media, 16384, s.torrent));
    return s;
}

}  // namespace

TEST(CUploadList, HundredAndFirstEntryEvictsTheFirstWithItsFiles) {
    TempDir dir;
    CUploadList list;
    const std::string media = dir.path() + "/MediaData/";
    auto torrentOf = [&](int i) { return media + "K" + std::to_string(i) + ".torrent"; };
    for (int i = 0; i < 101; ++i) {
        const std::string key = "K" + std::to_string(i);
        WriteFile(torrentOf(i), "d4:infoe");
        WriteFile(media + key + ".rent", "r");
        WriteFile(media + key + ".kvbt", "k");
        list.Add(torrentOf(i), "/save/", key, i % 2 == 1, i % 3 == 1);
        EXPECT_EQ(list.GetEntries().size(), std::min<std::size_t>(i + 1, 100));
    }
    EXPECT_FALSE(list.IsListed(torrentOf(0)));
    EXPECT_FALSE(FileExists(torrentOf(0)));
    EXPECT_FALSE(FileExists(media + "K0.rent"));
    EXPECT_FALSE(FileExists(media + "K0.kvbt"));
    EXPECT_TRUE(list.IsListed(torrentOf(1)));
    EXPECT_TRUE(FileExists(torrentOf(1)));
    EXPECT_TRUE(FileExists(media + "K1.rent"));
    EXPECT_TRUE(FileExists(media + "K1.kvbt"));
    EXPECT_EQ(list.GetEntries().front().key, "K1");
    EXPECT_EQ(list.GetEntries().back().key, "K100");

    // The saved lines name the entries from f0, oldest first.
    const auto lines = list.GetSavedLines();
    ASSERT_EQ(lines.size(), 101u);
    EXPECT_EQ(lines[0], "[FILES]");
    EXPECT_EQ(lines[1], "f0=" + torrentOf(1) + ";/save/;K1;1;1");
    EXPECT_EQ(lines[100], "f99=" + torrentOf(100) + ";/save/;K100;0;1");
}

TEST(CUploadList, SeedsOnlyTheClosedTasksTorrentAndAnotherPeerFetchesIt) {
    TempDir dir;
    const Streamed a = MakeStreamed(dir, "AAAA", 700000);
    const Streamed b = MakeStreamed(dir, "BBBB", 300000);
    CUploadList list;
    list.SetSilentUpload(0);
    list.Add(a.torrent, a.saveFolder, a.key, false, false);
    list.Add(b.torrent, b.saveFolder, b.key, false, false);
    list.Add(dir.path() + "/MediaData/gone.torrent", a.saveFolder, "AAAA", false, false);

    list.StartSeeding("AAAA");  // the missing torrent file is skipped
    ASSERT_EQ(list.GetSeeders().size(), 1u);
    EXPECT_TRUE(list.IsUploading(a.torrent));
    EXPECT_FALSE(list.IsUploading(b.torrent));
    EXPECT_TRUE(list.IsSeeding());

    // Later idle tests maintain: the seeder starts once its files are checked.
    ASSERT_TRUE(WaitUntil([&] {
        list.StartSeeding("AAAA");
        return !list.IsSeeding();
    }));
    EXPECT_EQ(list.GetSeeders().size(), 1u);
    EXPECT_EQ(list.GetSeeders()[0].started, 1);

    kvbt_testing::LoopbackSeeder fetcher;
    TempDir into;
    ASSERT_TRUE(fetcher.Fetch(a.torrent, into.path(), g_enginePort));
    ASSERT_TRUE(WaitUntil([&] { return fetcher.Complete(); }, std::chrono::seconds(30)));
    EXPECT_EQ(ReadFile(into.path() + "/AAAA.mkv"), ReadFile(a.media));

    // Adding a listed torrent changes nothing and leaves the seeder running.
    list.Add(a.torrent, a.saveFolder, a.key, false, false);
    EXPECT_EQ(list.GetEntries().size(), 3u);
    EXPECT_TRUE(list.IsUploading(a.torrent));

    // A stream of that torrent releases its seeder; the data stays.
    list.Remove(a.torrent);
    EXPECT_FALSE(list.IsUploading(a.torrent));
    EXPECT_TRUE(FileExists(a.media));
}

TEST(CUploadList, StreamRequestStopsEverySeederAtOnce) {
    TempDir dir;
    const Streamed a = MakeStreamed(dir, "CCCC", 200000);
    CUploadList list;
    list.SetSilentUpload(64);
    list.Add(a.torrent, a.saveFolder, a.key, true, true);
    list.StartSeeding("CCCC");
    ASSERT_EQ(list.GetSeeders().size(), 1u);
    const KvBTHandle handle = list.GetSeeders()[0].handle;
    EXPECT_NE(KvBT_Downloader_GetState(handle), KVBT_STATE_UNKNOWN);

    list.StopAllSeeding();
    EXPECT_TRUE(list.GetSeeders().empty());
    EXPECT_FALSE(list.IsSeeding());
    EXPECT_EQ(KvBT_Downloader_GetState(handle), KVBT_STATE_UNKNOWN);  // released
    EXPECT_TRUE(FileExists(a.media));
    EXPECT_TRUE(list.IsListed(a.torrent));

    // An unknown key seeds nothing.
    list.StartSeeding("NOPE");
    EXPECT_TRUE(list.GetSeeders().empty());
}

TEST(UploadLimits, KibLimitsBecomeBytesAndHugeOnesMeanNoLimit) {
    EXPECT_EQ(-1, LimitInBytes(0));
    EXPECT_EQ(-1, LimitInBytes(-5));
    EXPECT_EQ(1024, LimitInBytes(1));
    EXPECT_EQ(30720 * 1024, LimitInBytes(30720));
    EXPECT_EQ((INT_MAX / 1024) * 1024, LimitInBytes(INT_MAX / 1024));
    // A value from an ini file past the engine's range must not wrap: 4194305 KiB/s would
    // come out as a limit of 1 KiB/s.
    EXPECT_EQ(-1, LimitInBytes(4194305));
    EXPECT_EQ(-1, LimitInBytes(INT_MAX / 1024 + 1));
    EXPECT_EQ(-1, LimitInBytes(INT_MAX));
}
