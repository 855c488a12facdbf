#include "platform/drives.h"

#include <gtest/gtest.h>

#include "testsupport/temp_dir.h"

using namespace platform;

namespace {
struct InjectedDrives {
    explicit InjectedDrives(std::vector<Drive> drives) { SetFixedDrivesForTesting(drives); }
    ~InjectedDrives() { SetFixedDrivesForTesting(std::nullopt); }
};
}  // namespace

TEST(FixedDrives, RealMountsHaveSizesAndSkipPseudoFileSystems) {
    const auto drives = FixedDrives();
    for (const auto& d : drives) {
        EXPECT_EQ(d.root[0], '/') << d.root;
        EXPECT_GT(d.totalBytes, 0u) << d.root;
        EXPECT_LE(d.freeBytes, d.totalBytes) << d.root;
        EXPECT_NE(d.root, "/proc");
        EXPECT_NE(d.root, "/sys");
        EXPECT_NE(d.root.rfind("/dev", 0), 0u) << d.root;
    }
}

TEST(FixedDrives, InjectedListReplacesTheRealOneUntilCleared) {
    {
        InjectedDrives injected({{"/srv/big", 500, 10, 10}, {"/srv/small", 200, 150, 150}});
        const auto drives = FixedDrives();
        ASSERT_EQ(drives.size(), 2u);
        EXPECT_EQ(drives[0].root, "/srv/big");
        EXPECT_EQ(drives[1].totalBytes, 200u);
        EXPECT_TRUE(IsOnFixedDrive("/srv/big/movies"));
        EXPECT_TRUE(IsOnFixedDrive("/srv/small"));
        EXPECT_FALSE(IsOnFixedDrive("/srv/bigger/x"));
        EXPECT_FALSE(IsOnFixedDrive("relative/path"));
    }
    InjectedDrives none({});
    EXPECT_TRUE(FixedDrives().empty());
    EXPECT_FALSE(IsOnFixedDrive("/srv/big"));
}

TEST(FixedDrives, AFileSystemMountedBelowADriveIsNotPartOfIt) {
    InjectedDrives injected({{"/", 500, 10, 10}});
    EXPECT_TRUE(IsOnFixedDrive("/srv/movies"));
    // /proc is a mount of its own below "/", and no fixed drive.
    EXPECT_FALSE(IsOnFixedDrive("/proc"));
    EXPECT_FALSE(IsOnFixedDrive("/proc/self/status"));
    EXPECT_TRUE(IsOnFixedDrive("/processed"));
}

TEST(FixedDrives, DiskSpaceOfAFolderAndOfNothing) {
    testsupport::TempDir dir;
    Drive d;
    ASSERT_TRUE(DiskSpace(dir.path(), d));
    EXPECT_GT(d.totalBytes, 0u);
    EXPECT_LE(d.availableBytes, d.totalBytes);
    EXPECT_FALSE(DiskSpace(dir.file("missing/deeper"), d));
}
