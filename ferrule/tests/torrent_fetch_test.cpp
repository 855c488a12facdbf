#include "torrent_fetch.h"

#include <gtest/gtest.h>

#include "testsupport/hostile_files.h"
#include "testsupport/temp_dir.h"

namespace {

TEST(TorrentFileTest, OnlyARegularFileHoldingATorrentCountsAndNothingElseIsWaitedOn) {
    testsupport::TempDir temp;
    testsupport::WriteFile(temp.file("good.torrent"), "d4:infod4:name1:aee");
    testsupport::WriteFile(temp.file("trailing.torrent"), "d4:infod4:name1:aeex");
    EXPECT_TRUE(IsTorrentFile(temp.file("good.torrent")));
    EXPECT_FALSE(IsTorrentFile(temp.file("trailing.torrent")));
    for (const auto& hostile : testsupport::MakeHostileFiles(temp.path())) {
        bool torrent = true;
        EXPECT_TRUE(
            testsupport::ReturnsWithin([&] { torrent = IsTorrentFile(hostile.path); }, temp.path()))
            << hostile.what;
        EXPECT_FALSE(torrent) << hostile.what;
    }
}

}  // namespace
