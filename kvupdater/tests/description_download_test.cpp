// Fetching the description into the shared temporary folder under a predictable name.
#include "description_download.h"

#include <gtest/gtest.h>
#include <testsupport/temp_dir.h>
#include <unistd.h>

#include "download_bounds.h"
#include "test_http_server.h"

namespace {

TEST(DescriptionDownloadTest, FileAlreadyUnderTheNameIsReplacedNotWrittenThrough) {
    testsupport::TempDir dir;
    testhttp::TestHttpServer server;
    server.Serve("/update.ini", "[info]\nversion=5\n");
    const std::string other = dir.file("other.txt");
    testsupport::WriteFile(other, "someone else's");
    const std::string path = dir.file("up1234.tmp");
    ASSERT_EQ(0, ::link(other.c_str(), path.c_str()));
    ASSERT_TRUE(kvupdater::DownloadUrlToFile(server.Url("/update.ini"), path,
                                             kvupdater::kDownloadBounds.descriptionBytes));
    EXPECT_EQ("[info]\nversion=5\n", testsupport::ReadFile(path));
    EXPECT_EQ("someone else's", testsupport::ReadFile(other));

    ASSERT_EQ(0, ::unlink(path.c_str()));
    ASSERT_EQ(0, ::symlink(other.c_str(), path.c_str()));
    ASSERT_TRUE(kvupdater::DownloadUrlToFile(server.Url("/update.ini"), path,
                                             kvupdater::kDownloadBounds.descriptionBytes));
    EXPECT_EQ("someone else's", testsupport::ReadFile(other));
}

}  // namespace
