#include "platform/folder_guard.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "testsupport/temp_dir.h"

namespace {

// A cache folder inside a save folder, with the links a torrent or a user could leave there.
TEST(FolderGuardTest, APathIsJudgedWhereItsFileWouldLand) {
    testsupport::TempDir dir;
    const std::string save = dir.file("save/");
    const std::string cache = save + "MediaData";
    testsupport::WriteFile(cache + "/K.torrent", "d4:infoe");
    testsupport::WriteFile(dir.file("other/x"), "");
    const std::pair<std::string, std::string> links[] = {
        {"to-cache", cache},
        {"to-save", dir.file("save")},
        {"to-torrent.mkv", cache + "/K.torrent"},
        {"dangling.mkv", cache + "/new.torrent"},
        {"to-other", dir.file("other")},
        {"loop-a", save + "loop-b"},
        {"loop-b", save + "loop-a"},
    };
    for (const auto& [name, target] : links)
        ASSERT_EQ(::symlink(target.c_str(), (save + name).c_str()), 0) << name;

    platform::FolderGuard guard(cache);
    const struct {
        std::string path;
        bool covered;
    } rows[] = {
        {cache, true},
        {cache + "/K.torrent", true},
        {cache + "/not/yet/made.bin", true},
        {save + "./MediaData/x", true},
        {save + "film.mkv", false},
        {save + "MediaDataX/K.torrent", false},
        {save + "mediadata/K.torrent", false},  // another folder where names keep their case
        {save + "MediaData\\K.torrent", false},  // a name of the save folder's
        {save + "to-cache/K.torrent", true},
        {save + "to-save/MediaData/new/x", true},
        {save + "to-torrent.mkv", true},
        {save + "to-other/x", false},
        {save + "to-other/new/x", false},
        // What cannot be judged counts as inside.
        {save + "dangling.mkv", true},
        {save + "loop-a/x", true},
        {save + "x/../MediaData/y", true},
        {"MediaData/K.torrent", true},
    };
    for (const auto& row : rows) EXPECT_EQ(guard.Covers(row.path), row.covered) << row.path;

    // A folder not made yet is known by its name alone.
    platform::FolderGuard absent(save + "none/MediaData");
    EXPECT_TRUE(absent.Covers(save + "none/MediaData/K.torrent"));
    EXPECT_FALSE(absent.Covers(save + "none/other"));
}

}  // namespace
