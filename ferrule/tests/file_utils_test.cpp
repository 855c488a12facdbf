#include "file_utils.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/drives.h"
#include "save_path.h"
#include "testsupport/temp_dir.h"

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Replaces the fixed-drive list for one test.
class InjectedDrives {
public:
    explicit InjectedDrives(std::vector<platform::Drive> drives) {
        platform::SetFixedDrivesForTesting(std::move(drives));
    }
    ~InjectedDrives() { platform::SetFixedDrivesForTesting(std::nullopt); }
};

platform::Drive DriveAt(const std::string& root, std::uint64_t available) {
    platform::Drive drive;
    drive.root = root;
    drive.availableBytes = available;
    drive.freeBytes = available;
    drive.totalBytes = available * 2;
    return drive;
}

}  // namespace

TEST(FileUtils, PathParts) {
    EXPECT_EQ(GetFileNamePart("/a/b/c.torrent"), "c.torrent");
    EXPECT_EQ(GetDirectoryPart("/a/b/c.torrent"), "/a/b/");
    EXPECT_EQ(GetFileNamePart("dir\\file.ini"), "file.ini");
    EXPECT_EQ(GetDirectoryPart("file.ini"), "");
}

TEST(FileUtils, CreateDirectoryPathMakesEveryMissingLevel) {
    TempDir dir;
    const std::string deep = dir.path() + "/MediaData/one/two/three/";
    EXPECT_EQ(CreateDirectoryPath(deep), kResultOk);
    EXPECT_TRUE(IsFolder(dir.path() + "/MediaData/one/two/three"));
    EXPECT_EQ(CreateDirectoryPath(deep), kResultOk);  // already there
    EXPECT_TRUE(CreateDirectories(dir.path() + "\\x\\y"));
    EXPECT_TRUE(IsFolder(dir.path() + "/x/y"));
}

TEST(FileUtils, CreateDirectoryPathReportsBadInputAndFailures) {
    TempDir dir;
    EXPECT_EQ(CreateDirectoryPath(""), kResultInvalidArg);
    EXPECT_EQ(CreateDirectoryPath("\\server\\share"), kResultInvalidArg);
    WriteFile(dir.file("plain"), "x");
    // A file in the way is not a folder.
    EXPECT_NE(CreateDirectoryPath(dir.file("plain")), kResultOk);
    EXPECT_NE(CreateDirectoryPath(dir.file("plain/below")), kResultOk);
}

TEST(FileUtils, FileSizeExistenceAndForcedDelete) {
    TempDir dir;
    const std::string file = dir.file("a.bin");
    WriteFile(file, std::string(1234, 'x'));
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(FileExists(dir.path()));
    EXPECT_EQ(GetFileSize64(file), 1234u);
    EXPECT_EQ(GetFileSize64(dir.file("none")), 0u);
    ::chmod(file.c_str(), S_IRUSR);
    EXPECT_TRUE(ForceDeleteFile(file));
    EXPECT_FALSE(FileExists(file));
    EXPECT_FALSE(ForceDeleteFile(file));
}

TEST(SavePath, ValidWhenAnExistingFolderOrOnAFixedDriveButNotInTheStreamCache) {
    TempDir dir;
    testsupport::ScopedEnv cacheHome("XDG_CACHE_HOME", dir.file("cache"));
    ASSERT_EQ(CreateDirectoryPath(dir.file("cache/orvane/MediaData")), kResultOk);
    ASSERT_EQ(::symlink(dir.file("cache/orvane/MediaData").c_str(), dir.file("media").c_str()), 0);
    EXPECT_FALSE(IsValidSavePath(""));
    EXPECT_TRUE(IsValidSavePath(dir.path()));
    // The default folder holds the stream cache; downloads saved inside that would land among
    // its torrents.
    EXPECT_TRUE(IsValidSavePath(dir.file("cache/orvane/")));
    EXPECT_FALSE(IsValidSavePath(dir.file("cache/orvane/MediaData")));
    EXPECT_FALSE(IsValidSavePath(dir.file("media")));
    {
        InjectedDrives drives({DriveAt(dir.path(), 100)});
        EXPECT_TRUE(IsValidSavePath(dir.path() + "/not/yet/made"));
        EXPECT_FALSE(IsValidSavePath(dir.file("cache/orvane/MediaData/not/yet/made")));
        EXPECT_FALSE(IsValidSavePath(dir.file("media/not/yet/made")));
        EXPECT_FALSE(IsValidSavePath("/elsewhere/not/made"));
        EXPECT_FALSE(IsValidSavePath("relative/folder"));
    }
}

TEST(SavePath, DefaultIsOnTheUsableDriveWithMostSpace) {
    TempDir small, large, app;
    SetAppDirectoryForTesting(app.path());
    {
        InjectedDrives drives({DriveAt(small.path(), 10), DriveAt(small.path() + "/gone", 1000),
                               DriveAt(large.path(), 500),
                               DriveAt(small.path() + "/missing", 600)});
        const std::string chosen = GetDefaultSavePath();
        EXPECT_EQ(chosen, large.path() + "/orvane/");
        EXPECT_TRUE(IsFolder(chosen));
    }
    SetAppDirectoryForTesting("");
}

TEST(SavePath, DefaultIsNeverTheSystemRootButTheUsersCacheFolder) {
    TempDir cache, other;
    testsupport::ScopedEnv cacheHome("XDG_CACHE_HOME", cache.path());
    const std::string fallback = cache.path() + "/orvane/";
    // The root has by far the most space, and is writable when the service runs as root.
    const std::vector<std::vector<platform::Drive>> cases = {
        {}, {DriveAt("/", 1ull << 50)}, {DriveAt("//", 1ull << 50)}};
    for (const auto& list : cases) {
        InjectedDrives drives(list);
        EXPECT_EQ(GetDefaultSavePath(), fallback) << list.size() << " drive(s)";
        EXPECT_TRUE(IsFolder(fallback));
    }
    InjectedDrives drives({DriveAt("/", 1ull << 50), DriveAt(other.path(), 10)});
    EXPECT_EQ(GetDefaultSavePath(), other.path() + "/orvane/");
}

TEST(SavePath, DiskSpaceOfAFolder) {
    TempDir dir;
    std::uint64_t available = 0, total = 0, free = 0;
    ASSERT_TRUE(GetDiskFreeSpace64(dir.path(), available, total, free));
    EXPECT_GT(total, 0u);
    EXPECT_LE(available, total);
    EXPECT_FALSE(GetDiskFreeSpace64(dir.path() + "/none/such", available, total, free));
}
