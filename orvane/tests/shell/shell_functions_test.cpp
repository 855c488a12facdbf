#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QByteArray>
#include <QObject>
#include <algorithm>
#include <filesystem>
#include <memory>

#include "aes_cbc.h"
#include "host_queries.h"
#include "named_objects.h"
#include "orvane_widget.h"
#include "platform/process.h"
#include "scoped_app_directory.h"
#include "streaming_library.h"
#include "testsupport/loopback.h"
#include "testsupport/temp_dir.h"

namespace {

TEST(ShellFunctionsTest, NamedObjectsAndTheMainWidgetReadNullOnceGone) {
    auto object = std::make_unique<QObject>();
    RegisterNamedObject("PlayerRecords", object.get());
    EXPECT_EQ(FindNamedObject("PlayerRecords"), object.get());
    EXPECT_EQ(FindNamedObject("nobody"), nullptr);
    object.reset();
    EXPECT_EQ(FindNamedObject("PlayerRecords"), nullptr);

    {
        // In an install folder of its own: no BT server to start, the test's own store.
        testsupport::TempDir install;
        ScopedAppDirectory app(install.file("bin"));
        orvane widget;
        EXPECT_EQ(GetMainWidget(), &widget);
    }
    EXPECT_EQ(GetMainWidget(), nullptr);
}

TEST(ShellFunctionsTest, OpenUrlInBrowserPassesOnlyWebUrlsAsOneArgument) {
    testsupport::TempDir temp;
    // A browser opener of our own, first on the path, records what it was given.
    const std::string log = temp.file("opened.txt");
    testsupport::WriteFile(
        temp.file("xdg-open"),
        "#!/bin/sh\nfor a in \"$@\"; do printf '%s|\\n' \"$a\" >> '" + log + "'; done\n");
    chmod(temp.file("xdg-open").c_str(), 0755);
    const char* oldPath = std::getenv("PATH");
    testsupport::ScopedEnv path("PATH", temp.path() + ":" + (oldPath ? oldPath : "/usr/bin:/bin"));

    OpenUrlInBrowser("file:///etc/passwd");
    OpenUrlInBrowser("javascript:alert(1)");
    OpenUrlInBrowser("-x http://example.invalid/");
    OpenUrlInBrowser("http://example.invalid/a?b=1&c=$(touch " +
                     QString::fromStdString(temp.file("pwned")) + ") d");
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !testsupport::ReadFile(log).empty(); }));
    OpenUrlInBrowser("HTTPS://example.invalid/x");
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] { return testsupport::ReadFile(log).find("x|") != std::string::npos; }));

    const std::string opened = testsupport::ReadFile(log);
    // Two calls, two lines: each URL arrived as a single argument.
    EXPECT_EQ(std::count(opened.begin(), opened.end(), '\n'), 2) << opened;
    EXPECT_EQ(opened.rfind("http://example.invalid/a?b=1&c=$(touch", 0), 0u) << opened;
    EXPECT_FALSE(std::filesystem::exists(temp.file("pwned")));
}

TEST(ShellFunctionsTest, AesRoundTripAndBadInputFails) {
    const QByteArray iv(16, '\x01');
    const QByteArray key(32, '\x02');
    for (const QByteArray& plain :
         {QByteArray(), QByteArray("sixteen bytes!!!"), QByteArray("short")}) {
        QByteArray cipher, back;
        ASSERT_TRUE(AesEncryptCbc256(iv, key, plain, cipher));
        EXPECT_EQ(cipher.size(), (plain.size() / 16 + 1) * 16);
        ASSERT_TRUE(AesDecryptCbc256(iv, key, cipher, back));
        EXPECT_EQ(back, plain);
    }
    QByteArray cipher, back = "stale";
    ASSERT_TRUE(AesEncryptCbc256(iv, key, "payload", cipher));
    EXPECT_FALSE(AesDecryptCbc256(iv, QByteArray(32, '\x03'), cipher, back));  // padding breaks
    EXPECT_TRUE(back.isEmpty());
    EXPECT_FALSE(AesDecryptCbc256(iv, key, cipher.left(15), back));  // not whole blocks
    EXPECT_FALSE(AesDecryptCbc256(iv, key, QByteArray(), back));
    EXPECT_FALSE(AesEncryptCbc256(iv.left(8), key, "x", back));  // short vector
}

TEST(ShellFunctionsTest, CrashHandlerWritesTheStackIntoTheUsersStateFolder) {
    testsupport::TempDir temp;
    testsupport::ScopedEnv state("XDG_STATE_HOME", temp.file("state"));
    const std::string program = temp.file("bin/crashy");
    std::filesystem::create_directories(temp.file("bin"));
    std::filesystem::copy_file(ORVANE_TEST_HELPER, program);
    auto process = platform::StartProcess(program, {"crash"});
    ASSERT_TRUE(process);
    ASSERT_TRUE(process->Wait(20000));
    EXPECT_EQ(process->ExitCode(), 128 + SIGSEGV);
    EXPECT_FALSE(std::filesystem::exists(temp.file("bin/dmp")));
    const std::string dump = testsupport::ReadFile(temp.file("state/orvane/dmp/crashy.dmp"));
    EXPECT_EQ(dump.rfind("signal 11\n", 0), 0u) << dump;
    EXPECT_GT(std::count(dump.begin(), dump.end(), '\n'), 2) << dump;
}

TEST(ShellFunctionsTest, StreamingLibraryLoadsOnce) {
    EXPECT_FALSE(LoadStreamingLibrary("/nonexistent/libFerrule.so"));
    EXPECT_EQ(StreamingLibraryHandle(), nullptr);
    ASSERT_TRUE(LoadStreamingLibrary("libm.so.6"));
    void* handle = StreamingLibraryHandle();
    EXPECT_NE(handle, nullptr);
    EXPECT_TRUE(LoadStreamingLibrary("/nonexistent/libFerrule.so"));  // already loaded
    EXPECT_EQ(StreamingLibraryHandle(), handle);
    SetStreamingLibraryHandle(nullptr);
}

}  // namespace
