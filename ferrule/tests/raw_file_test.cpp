#include "raw_file.h"

#include <gtest/gtest.h>

#include "file_utils.h"
#include "testsupport/temp_dir.h"

using testsupport::TempDir;

TEST(CRawFile, WritesAndReadsAt64BitPositions) {
    TempDir dir;
    const std::string path = dir.file("data.bin");
    {
        CRawFile file;
        ASSERT_EQ(file.Open(path, true), kResultOk);
        std::uint32_t count = 0;
        EXPECT_EQ(file.Write("hello", 5, &count), kResultOk);  // at the end
        EXPECT_EQ(count, 5u);
        EXPECT_EQ(file.Write("world", 5, &count), kResultOk);
        EXPECT_EQ(file.Write("J", 1, &count, 0), kResultOk);
        // A write far beyond the end leaves a hole and grows the file.
        const std::int64_t far = 5000000000LL;
        EXPECT_EQ(file.Write("!", 1, &count, far), kResultOk);
        EXPECT_EQ(file.GetSize(), static_cast<std::uint64_t>(far + 1));
    }
    CRawFile file;
    ASSERT_EQ(file.Open(path, false), kResultOk);
    EXPECT_EQ(file.GetSize(), 5000000001ULL);
    char buffer[16] = {};
    std::uint32_t count = 0;
    EXPECT_EQ(file.Read(buffer, 10, &count, 0), kResultOk);
    EXPECT_EQ(std::string(buffer, count), "Jelloworld");
    EXPECT_EQ(file.Seek(3), kResultOk);
    EXPECT_EQ(file.Read(buffer, 4, &count), kResultOk);  // current position
    EXPECT_EQ(std::string(buffer, count), "lowo");
    EXPECT_EQ(file.Read(buffer, 4, &count), kResultOk);
    EXPECT_EQ(std::string(buffer, count), std::string("rld\0", 4));  // the hole reads as zeros
    EXPECT_EQ(file.Read(buffer, 1, &count, 5000000000LL), kResultOk);
    EXPECT_EQ(std::string(buffer, count), "!");
    EXPECT_EQ(file.Read(buffer, 4, &count, 6000000000LL), kResultOk);
    EXPECT_EQ(count, 0u);  // past the end
}

TEST(CRawFile, RejectsBadArgumentsAndMissingFiles) {
    TempDir dir;
    CRawFile file;
    EXPECT_NE(file.Open(dir.file("missing"), false), kResultOk);
    EXPECT_FALSE(file.IsOpen());
    ASSERT_EQ(file.Open(dir.file("x"), true), kResultOk);
    char buffer[4];
    std::uint32_t count = 99;
    EXPECT_EQ(file.Read(nullptr, 4, &count), kResultInvalidArg);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(file.Read(buffer, 0, &count), kResultInvalidArg);
    file.Close();
    EXPECT_NE(file.Read(buffer, 4, &count), kResultOk);
}
