#include "directory_tree.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QFileInfo>

#include "testsupport/temp_dir.h"

namespace {

QString Q(const std::string& path) { return QString::fromStdString(path); }

TEST(DirectoryTreeTest, SizeCountsHiddenFilesAndSubfoldersButNotLinks) {
    testsupport::TempDir temp;
    testsupport::WriteFile(temp.file("cache/a.bin"), std::string(1000, 'a'));
    testsupport::WriteFile(temp.file("cache/.resume"), std::string(24, 'r'));
    testsupport::WriteFile(temp.file("cache/sub/deeper/b.bin"), std::string(300, 'b'));
    testsupport::WriteFile(temp.file("elsewhere/huge.bin"), std::string(5000, 'h'));
    ASSERT_EQ(symlink(temp.file("elsewhere").c_str(), temp.file("cache/link").c_str()), 0);
    ASSERT_EQ(symlink(temp.file("elsewhere/huge.bin").c_str(), temp.file("cache/f").c_str()), 0);

    EXPECT_EQ(DirectorySize(Q(temp.file("cache"))), 1324);
    EXPECT_EQ(DirectorySize(Q(temp.file("missing"))), 0);
    EXPECT_EQ(DirectorySize(""), 0);
}

TEST(DirectoryTreeTest, RemoveTakesEverythingButTheParentAndNothingBehindLinks) {
    testsupport::TempDir temp;
    testsupport::WriteFile(temp.file("parent/cache/a.bin"), "a");
    testsupport::WriteFile(temp.file("parent/cache/.hidden"), "h");
    testsupport::WriteFile(temp.file("parent/cache/sub/.dot/b"), "b");
    testsupport::WriteFile(temp.file("keep/precious"), "p");
    ASSERT_EQ(symlink(temp.file("keep").c_str(), temp.file("parent/cache/sub/link").c_str()), 0);
    ASSERT_EQ(symlink(temp.file("nowhere").c_str(), temp.file("parent/cache/dangling").c_str()), 0);

    RemoveDirectoryTree(Q(temp.file("parent/cache")));
    EXPECT_FALSE(QFileInfo::exists(Q(temp.file("parent/cache"))));
    EXPECT_TRUE(QFileInfo(Q(temp.file("parent"))).isDir());  // left empty, still there
    EXPECT_EQ(testsupport::ReadFile(temp.file("keep/precious")), "p");

    RemoveDirectoryTree("");
    RemoveDirectoryTree(Q(temp.file("missing")));
    EXPECT_TRUE(QFileInfo(Q(temp.file("parent"))).isDir());
}

}  // namespace
