#include "log.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <sstream>
#include <thread>

#include "file_utils.h"
#include "testsupport/temp_dir.h"
#include "testsupport/user_folders.h"

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// Switches the process-wide log on for a service in a folder of its own, run by a user of its
// own, for one test.
class LogInFolder {
public:
    explicit LogInFolder(const std::string& folder) {
        SetAppDirectoryForTesting(folder);
        TheLog().SetEnabled(true);
    }
    ~LogInFolder() {
        TheLog().SetEnabled(false);
        SetAppDirectoryForTesting("");
    }
    // The log's file: in the user's state folder.
    std::string File() const { return user_.State("D2IZedavi.log"); }

private:
    testsupport::ScopedUserFolders user_;
};

// "[yyyy-mm-dd hh:mm:ss]": digits where the pattern has '9'.
bool IsStamp(const std::string& text) {
    const std::string pattern = "[9999-99-99 99:99:99]";
    if (text.size() != pattern.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
        if (pattern[i] == '9' ? !digit : text[i] != pattern[i]) return false;
    }
    return true;
}

}  // namespace

TEST(Log, WritesNothingWhileOff) {
    TempDir dir;
    testsupport::ScopedUserFolders user;
    SetAppDirectoryForTesting(dir.path());
    TheLog().SetEnabled(false);
    EXPECT_EQ(FormatLogTimestamp(), "");
    WriteLog("GET /x").WriteLog(LogText::kLineEnd);
    EXPECT_FALSE(FileExists(user.State("D2IZedavi.log")));
    SetAppDirectoryForTesting("");
}

TEST(Log, WritesStampedLinesIntoTheUsersStateFolderNotBesideTheLibrary) {
    TempDir dir;
    LogInFolder on(dir.path());
    const std::string stamp = FormatLogTimestamp();
    EXPECT_TRUE(IsStamp(stamp)) << stamp;
    WriteLog(stamp).WriteLog("/a?start=1").WriteLog(LogText::kLineEnd);
    WriteLog(LogText::kConnection)
        .WriteLog(std::int32_t{-5})
        .WriteLog(LogText::kHttpStart)
        .WriteLog(std::uint32_t{4000000000u})
        .WriteLog(LogText::kLeft)
        .WriteLog(std::uint64_t{18446744073709551615ull})
        .WriteLog(LogText::kCrLf);
    WriteLog(LogText::kDownloaderInitialized);
    EXPECT_FALSE(FileExists(dir.file("D2IZedavi.log")));
    EXPECT_EQ(ReadFile(on.File()),
              stamp + "/a?start=1\n" +
                  "connection:-5,  Http Start: 4000000000, left: 18446744073709551615\r\n"
                  "KvBT_Downloader_Initialize success \n");
}

TEST(Log, LiteralsAreExact) {
    EXPECT_STREQ(LogTextOf(LogText::kHttpGetFileSuccess),
                 " HttpGetFile AsyncMainThread  success, this: ");
    EXPECT_STREQ(LogTextOf(LogText::kHttpDownloaderStopped),
                 " HttpDownloader Stopped -> httpDownloadSize : ");
    EXPECT_STREQ(LogTextOf(LogText::kCanStop), " , canStop : ");
    EXPECT_STREQ(LogTextOf(LogText::kSpeedUpTickCount), " BT SpeedUp TickCount: ");
}

TEST(Log, RestartsTheFileOnceItHasReachedFourMebibytes) {
    TempDir dir;
    const std::string path = dir.file("D2IZedavi.log");
    CLog log(path);
    log.SetEnabled(true);
    WriteFile(path, std::string(CLog::kRestartSize - 1, 'o'));
    log.WritePiece("x");  // one byte short: appended
    EXPECT_EQ(GetFileSize64(path), CLog::kRestartSize);
    log.WritePiece("fresh\n");  // now at the limit: started afresh
    EXPECT_EQ(ReadFile(path), "fresh\n");
}

TEST(Log, LinesFromConcurrentWritersStayWhole) {
    TempDir dir;
    LogInFolder on(dir.path());
    constexpr int kThreads = 8;
    constexpr int kLines = 300;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) {
                WriteLog("thread ")
                    .WriteLog(std::int32_t{t})
                    .WriteLog(LogText::kLeft)
                    .WriteLog(std::int32_t{i})
                    .WriteLog(LogText::kBuf)
                    .WriteLog(std::string(100, static_cast<char>('a' + t)))
                    .WriteLog(LogText::kLineEnd);
            }
        });
    }
    for (auto& writer : writers) writer.join();
    std::istringstream text(ReadFile(on.File()));
    std::string line;
    int count = 0;
    while (std::getline(text, line)) {
        int thread = -1, index = -1, consumed = 0;
        ASSERT_EQ(
            std::sscanf(line.c_str(), "thread %d, left: %d, buf:%n", &thread, &index, &consumed), 2)
            << line;
        ASSERT_TRUE(thread >= 0 && thread < kThreads) << line;
        EXPECT_EQ(line.substr(static_cast<std::size_t>(consumed)),
                  std::string(100, static_cast<char>('a' + thread)))
            << line;
        ++count;
    }
    EXPECT_EQ(count, kThreads * kLines);
}
