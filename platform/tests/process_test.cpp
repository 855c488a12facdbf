#include "platform/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <mutex>

#include "testsupport/loopback.h"
#include "testsupport/temp_dir.h"

extern char** environ;

namespace {

using platform::QuoteArgument;
using platform::SplitCommandLine;
using Args = std::vector<std::string>;

const std::string kChild = PLATFORM_TEST_CHILD;

// The arguments a "write-args" child wrote, one per NUL-terminated entry.
Args ReadArgs(const std::string& path) {
    Args args;
    std::string current;
    for (const char c : testsupport::ReadFile(path)) {
        if (c == '\0') {
            args.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    return args;
}

// True once no process, not even a zombie, holds the pid.
bool Gone(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

TEST(SplitCommandLine, FollowsTheWindowsRules) {
    const std::vector<std::pair<std::string, Args>> cases = {
        {"  \t ", {}},
        {" a b\tc ", {"a", "b", "c"}},
        {"\"/opt/my app/orvane\" -startbt", {"/opt/my app/orvane", "-startbt"}},
        {"a \"\" b", {"a", "", "b"}},
        {"ab\"c d\"e", {"abc de"}},
        {R"(a\b\\c)", {R"(a\b\\c)"}},                 // backslashes not before a quote are literal
        {R"(a\"b)", {"a\"b"}},                        // 1 -> literal quote
        {R"(a\\"b c")", {R"(a\b c)"}},                // 2 -> one backslash, quote delimits
        {R"(a\\\"b)", {R"(a\"b)"}},                   // 3 -> backslash and literal quote
        {R"("say ""hi"" now")", {"say \"hi\" now"}},  // "" inside a quoted run
        {R"("unterminated arg)", {"unterminated arg"}},
    };
    for (const auto& [line, expected] : cases) EXPECT_EQ(SplitCommandLine(line), expected) << line;

    const Args args = {"plain",         "",           "with blank", "\"", "trailing\\",
                       "back\\\"quote", "\\\\srv\\x", "new\nline"};
    std::string line;
    for (const auto& a : args) line += QuoteArgument(a) + " ";
    EXPECT_EQ(SplitCommandLine(line), args) << line;
}

TEST(Process, ExitCodesWaitAndKill) {
    auto seven = platform::StartProcess(kChild, {"exit", "7"});
    ASSERT_TRUE(seven);
    ASSERT_TRUE(seven->Wait());
    EXPECT_EQ(seven->ExitCode(), 7);

    auto wide = platform::StartProcess(kChild, {"exit", "1001"}, false);
    ASSERT_TRUE(wide);
    ASSERT_TRUE(wide->Wait(60000));
    EXPECT_EQ(wide->ExitCode(), 1001 & 0xFF);  // exit codes are 8 bits

    auto sleeper = platform::StartProcess(kChild, {"sleep", "60000"});
    ASSERT_TRUE(sleeper);
    EXPECT_FALSE(sleeper->Wait(30));
    EXPECT_EQ(sleeper->ExitCode(), std::nullopt);
    sleeper->Kill();
    ASSERT_TRUE(sleeper->Wait(60000));
    EXPECT_EQ(sleeper->ExitCode(), 128 + SIGKILL);
}

TEST(Process, CommandLineWithBlanksReachesTheProgramIntact) {
    testsupport::TempDir dir;
    std::filesystem::create_directories(dir.file("my programs"));
    const std::string program = dir.file("my programs/test child");
    std::filesystem::create_symlink(kChild, program);
    const std::string out = dir.file("args");

    const std::string line = "\"" + program + "\" write-args " + QuoteArgument(out) +
                             R"( plain "with blank" back\\slash "quote\"d" "" -url=a,b)";
    auto child = platform::StartCommandLine(line, false);
    ASSERT_TRUE(child);
    ASSERT_TRUE(child->Wait(60000));
    EXPECT_EQ(child->ExitCode(), 0);
    EXPECT_EQ(ReadArgs(out),
              (Args{"plain", "with blank", R"(back\\slash)", "quote\"d", "", "-url=a,b"}));
}

TEST(Process, ProgramThatCannotRunIsAClearFailure) {
    testsupport::TempDir dir;
    errno = 0;
    EXPECT_EQ(platform::StartProcess(dir.file("missing"), {}), nullptr);
    EXPECT_EQ(errno, ENOENT);

    const std::string text = dir.file("not-a-program");
    testsupport::WriteFile(text, "hello\n");
    chmod(text.c_str(), 0644);
    errno = 0;
    EXPECT_EQ(platform::StartCommandLine("\"" + text + "\" x"), nullptr);
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(platform::StartCommandLine("   "), nullptr);
}

TEST(Process, StartFromFileRunsTheFileThatWasOpenedWhateverItsNameHoldsNow) {
    testsupport::TempDir dir;
    const std::string out = dir.file("out");
    const std::string script = dir.file("installer");
    auto writeScript = [&](const std::string& path, const std::string& says) {
        testsupport::WriteFile(path,
                               "#!/bin/sh\nprintf '" + says + " %s' \"$1\" > '" + out + "'\n");
        ASSERT_EQ(chmod(path.c_str(), 0700), 0);
    };
    writeScript(script, "opened");
    const int scriptFd = open(script.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(scriptFd, 0);
    // Another file takes the name after the open.
    writeScript(dir.file("other"), "replaced");
    ASSERT_EQ(rename(dir.file("other").c_str(), script.c_str()), 0);
    auto child = platform::StartProcessFromFile(scriptFd, script, {"two words"});
    close(scriptFd);
    ASSERT_TRUE(child);
    ASSERT_TRUE(child->Wait(60000));
    EXPECT_EQ(child->ExitCode(), 0);
    EXPECT_EQ(testsupport::ReadFile(out), "opened two words");

    // A compiled program whose name is gone by the time it starts.
    const std::string program = dir.file("program");
    std::filesystem::copy_file(kChild, program);
    const int programFd = open(program.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(programFd, 0);
    ASSERT_EQ(unlink(program.c_str()), 0);
    auto compiled = platform::StartProcessFromFile(programFd, "named", {"write-args", out, "a b"});
    close(programFd);
    ASSERT_TRUE(compiled);
    ASSERT_TRUE(compiled->Wait(60000));
    EXPECT_EQ(compiled->ExitCode(), 0);
    EXPECT_EQ(ReadArgs(out), Args{"a b"});

    // Files that cannot run fail clearly.
    testsupport::WriteFile(dir.file("text"), "hello\n");
    const int textFd = open(dir.file("text").c_str(), O_RDONLY | O_CLOEXEC);
    errno = 0;
    EXPECT_EQ(platform::StartProcessFromFile(textFd, "text", {}), nullptr);
    EXPECT_EQ(errno, EACCES);
    close(textFd);
    errno = 0;
    EXPECT_EQ(platform::StartProcessFromFile(-1, "none", {}), nullptr);
    EXPECT_EQ(errno, EBADF);
}

TEST(Process, ChildrenNobodyWaitsForAreReapedAndOthersAreLeftAlone) {
    // A child that other code started and will wait for itself.
    pid_t foreign = 0;
    char* foreignArgv[] = {const_cast<char*>(kChild.c_str()), const_cast<char*>("exit"),
                           const_cast<char*>("5"), nullptr};
    ASSERT_EQ(posix_spawn(&foreign, kChild.c_str(), nullptr, nullptr, foreignArgv, environ), 0);

    std::vector<pid_t> released;
    for (int i = 0; i < 3; ++i) {
        auto child = platform::StartProcess(kChild, {"sleep", std::to_string(50 * i)});
        ASSERT_TRUE(child);
        released.push_back(child->Pid());
    }  // each Process goes without a wait
    for (const pid_t pid : released) EXPECT_TRUE(testsupport::WaitUntil([&] { return Gone(pid); }));

    int status = 0;
    ASSERT_EQ(waitpid(foreign, &status, 0), foreign);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 5);
}

TEST(Process, AReleasedChildReportsHowItEndedOnce) {
    struct Case {
        Args arguments;
        bool killed;
        int exitCode;
    };
    const std::vector<Case> cases = {
        {{"exit", "0"}, false, 0}, {{"exit", "5"}, false, 5}, {{"sleep", "60000"}, true, 128 + 9}};
    std::mutex lock;
    std::map<pid_t, std::vector<int>> reported;
    std::map<pid_t, int> expected;
    for (const Case& c : cases) {
        auto child = platform::StartProcess(kChild, c.arguments);
        ASSERT_TRUE(child);
        if (c.killed) kill(child->Pid(), SIGKILL);
        const pid_t pid = child->Pid();
        expected[pid] = c.exitCode;
        child->Release([&lock, &reported, pid](int code) {
            std::lock_guard<std::mutex> guard(lock);
            reported[pid].push_back(code);
        });
        // Released, the object no longer waits for or signals the pid.
        EXPECT_FALSE(child->Wait(0));
        child->Kill();
    }
    EXPECT_TRUE(testsupport::WaitUntil([&] {
        std::lock_guard<std::mutex> guard(lock);
        return reported.size() == cases.size();
    }));
    std::lock_guard<std::mutex> guard(lock);
    for (const auto& [pid, code] : expected) {
        EXPECT_EQ(reported[pid], std::vector<int>{code}) << pid;
        EXPECT_TRUE(Gone(pid));
    }

    // A child already waited for reports at once, on the caller's thread.
    auto waited = platform::StartProcess(kChild, {"exit", "3"});
    ASSERT_TRUE(waited && waited->Wait(10000));
    int code = -1;
    waited->Release([&code](int c) { code = c; });
    EXPECT_EQ(code, 3);
}

TEST(OpenUrlForUser, PassesOnlyWebUrlsAsOneArgument) {
    testsupport::TempDir dir;
    const std::string log = dir.file("opened");
    testsupport::WriteFile(dir.file("bin/xdg-open"),
                           "#!/bin/sh\nprintf '%s|' \"$#\" \"$1\" >> '" + log + "'\n");
    chmod(dir.file("bin/xdg-open").c_str(), 0755);
    testsupport::ScopedEnv path("PATH", dir.file("bin"));

    for (const std::string refused :
         {"", "http", "http://", "file:///etc/passwd", "javascript:alert(1)", "ftp://host/f",
          "-http://x", "about:blank", "x-http://host/"})
        EXPECT_FALSE(platform::OpenUrlForUser(refused)) << refused;

    const std::string url = "HTTPS://example.test/a b?q=\"x\"&y=$(id);echo `id`";
    ASSERT_TRUE(platform::OpenUrlForUser(url));
    const std::string expected = "1|" + url + "|";
    EXPECT_TRUE(testsupport::WaitUntil([&] { return testsupport::ReadFile(log) == expected; }));
    EXPECT_EQ(testsupport::ReadFile(log), expected);
}

}  // namespace
