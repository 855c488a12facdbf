#include "platform/regular_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "testsupport/hostile_files.h"
#include "testsupport/temp_dir.h"

namespace {

TEST(RegularFileTest, OnlyARegularFileIsReadAndAnythingElseIsRefusedAtOnceWithItsKind) {
    testsupport::TempDir temp;
    testsupport::WriteFile(temp.file("plain"), "d4:infod4:name1:aee");
    testsupport::WriteFile(temp.file("folder/.keep"), "");
    std::string content, error;
    ASSERT_TRUE(platform::ReadRegularFile(temp.file("plain"), 64, content, error)) << error;
    EXPECT_EQ(content, "d4:infod4:name1:aee");

    struct Case {
        std::string what, path, reason;
    };
    std::vector<Case> cases = {{"missing", temp.file("missing"), "No such file"},
                               {"folder", temp.file("folder"), "a folder, not a regular file"},
                               {"too large", temp.file("plain"), "larger than 18 bytes"}};
    for (const auto& hostile : testsupport::MakeHostileFiles(temp.path()))
        cases.push_back({hostile.what, hostile.path,
                         hostile.what.find("FIFO") != std::string::npos
                             ? "a FIFO, not a regular file"
                             : "a character device, not a regular file"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bool read = true;
        testsupport::ResetPeakResident();
        const long before = testsupport::PeakResidentKiB();
        EXPECT_TRUE(testsupport::ReturnsWithin(
            [&] {
                read = platform::ReadRegularFile(c.path, c.what == "too large" ? 18 : 1 << 20,
                                                 content, error);
            },
            temp.path()));
        EXPECT_FALSE(read);
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_LT(testsupport::PeakResidentKiB() - before, 64 * 1024);
    }
}

TEST(RegularFileTest, TheOpenDescriptorReadsAndCanBeHandedOver) {
    testsupport::TempDir temp;
    testsupport::WriteFile(temp.file("plain"), "abc");
    platform::RegularFile file(temp.file("plain"));
    ASSERT_TRUE(file.IsOpen()) << file.Error();
    EXPECT_EQ(file.Size(), 3);
    std::string content;
    ASSERT_TRUE(file.ReadAll(content, 3));
    EXPECT_EQ(content, "abc");
    const int fd = file.Release();
    EXPECT_FALSE(file.IsOpen());
    char byte = 0;
    EXPECT_EQ(::pread(fd, &byte, 1, 1), 1);
    EXPECT_EQ(byte, 'b');
    ::close(fd);
}

}  // namespace
