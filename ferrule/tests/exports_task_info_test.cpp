// The exported functions: task records, calls before and after the service runs, a second
// start, a port that cannot be bound, and what the shared library exports.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "app_settings.h"
#include "ferrule_api.h"
#include "file_utils.h"
#include "kvbt_api.h"
#include "server.h"
#include "server_test_http.h"
#include "stream_test_service.h"
#include "testsupport/loopback.h"
#include "testsupport/temp_dir.h"

using namespace std::chrono_literals;

namespace {

class ExportsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetAppDirectoryForTesting(dir_.path() + "/");
        testsupport::WriteFile(dir_.file("ini/path.ini"),
                               "[AppSetting]\nsavePath=" + media_.path() + "\n");
        testsupport::WriteFile(dir_.file("index.html"), "ok");
    }
    void TearDown() override {
        ZP2PUninitServer();
        SetAppDirectoryForTesting("");
    }
    void Init(int port) { stream_testing::StartShippedService(port); }

    testsupport::TempDir dir_;
    testsupport::TempDir media_;
};

ZP2PTaskInfo Filled(unsigned char pattern) {
    ZP2PTaskInfo info;
    std::memset(&info, pattern, sizeof(info));
    return info;
}

}  // namespace

TEST_F(ExportsTest, CallsBeforeStartFailCleanly) {
    ZP2PTaskInfo info = Filled(0x5A);
    info.cbSize = sizeof(ZP2PTaskInfo);
    const ZP2PTaskInfo before = info;
    EXPECT_FALSE(ZP2PGetTaskInfo("http://x/a.torrent", &info));
    EXPECT_EQ(0, std::memcmp(&before, &info, sizeof(info)));
    ZP2PSetSpeedLimit(0, 0);
    ZP2PUninitServer();
    ZP2PFreeTaskInfoData(nullptr);
}

TEST_F(ExportsTest, TaskRecordsOfUnknownTasksAndWrongSizes) {
    const int port = testsupport::FreeLoopbackPort();
    Init(port);
    for (std::uint32_t size : {static_cast<std::uint32_t>(sizeof(ZP2PTaskInfo) - 1),
                               static_cast<std::uint32_t>(sizeof(ZP2PTaskInfo) + 1), 448u + 1}) {
        ZP2PTaskInfo info = Filled(0x33);
        info.cbSize = size;
        const ZP2PTaskInfo before = info;
        EXPECT_FALSE(ZP2PGetTaskInfo("http://x/a.torrent", &info));
        EXPECT_EQ(0, std::memcmp(&before, &info, sizeof(info)));
    }
    EXPECT_FALSE(ZP2PGetTaskInfo("http://x/a.torrent", nullptr));

    ZP2PTaskInfo info = Filled(0x33);
    info.cbSize = sizeof(ZP2PTaskInfo);
    ASSERT_TRUE(ZP2PGetTaskInfo("http://never.opened/a.torrent", &info));
    for (unsigned char b : info.info) ASSERT_EQ(0, b);
    ASSERT_NE(nullptr, info.pieceMap);
    EXPECT_STREQ("", info.pieceMap);
    EXPECT_EQ(0x33333333u, info.reserved1);
    EXPECT_EQ(0x33333333u, info.reserved2);
    ZP2PFreeTaskInfoData(&info);
    ZP2PFreeTaskInfoData(nullptr);

    // The server answers on the port it was given.
    EXPECT_EQ(200, stream_testing::Get(port, "/index.html").status);
}

TEST_F(ExportsTest, ASecondStartIsRefusedAndStopIsBounded) {
    const int port = testsupport::FreeLoopbackPort();
    Init(port);
    const int other = testsupport::FreeLoopbackPort();
    stream_testing::StartShippedService(other);
    EXPECT_EQ(200, stream_testing::Get(port, "/index.html").status);
    EXPECT_FALSE(stream_testing::Get(other, "/index.html", "", 2s).ok);

    const auto started = std::chrono::steady_clock::now();
    ZP2PUninitServer();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    ZP2PTaskInfo info{};
    info.cbSize = sizeof(ZP2PTaskInfo);
    EXPECT_FALSE(ZP2PGetTaskInfo("http://x/a.torrent", &info));
    EXPECT_EQ(nullptr, info.pieceMap);
    ZP2PSetSpeedLimit(1000, 1000);
}

TEST_F(ExportsTest, APortInUseLeavesTheServiceStoppedWithoutThrowing) {
    const int port = testsupport::FreeLoopbackPort();
    http::server::server holder("127.0.0.1", std::to_string(port), dir_.path());
    EXPECT_NO_THROW(Init(port));
    ZP2PTaskInfo info{};
    info.cbSize = sizeof(ZP2PTaskInfo);
    EXPECT_FALSE(ZP2PGetTaskInfo("http://x/a.torrent", &info));
    // A later start on a free port works.
    const int free_port = testsupport::FreeLoopbackPort();
    Init(free_port);
    EXPECT_TRUE(ZP2PGetTaskInfo("http://x/a.torrent", &info));
    ZP2PFreeTaskInfoData(&info);
}

TEST_F(ExportsTest, APortOutsideTheTcpRangeIsRefused) {
    const int freePort = testsupport::FreeLoopbackPort();
    // 65536 + n would otherwise be taken modulo 65536, and 0 as any free port.
    for (const int port : {0, -1, 65536 + freePort}) {
        Init(port);
        ZP2PTaskInfo info{};
        info.cbSize = sizeof(ZP2PTaskInfo);
        EXPECT_FALSE(ZP2PGetTaskInfo("http://x/a.torrent", &info)) << port;
        ZP2PUninitServer();
    }
    const int fd = stream_testing::ConnectLoopback(freePort);
    EXPECT_LT(fd, 0) << "something listens on " << freePort;
    if (fd >= 0) ::close(fd);
}

TEST(ExportsLibrary, ExportsTheFiveFunctionsAndNothingOfItsInside) {
    void* lib = ::dlopen(FERRULE_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, lib) << ::dlerror();
    for (const char* name : {"ZP2PInitServer", "ZP2PGetTaskInfo", "ZP2PFreeTaskInfoData",
                             "ZP2PSetSpeedLimit", "ZP2PUninitServer"}) {
        EXPECT_NE(nullptr, ::dlsym(lib, name)) << name;
    }
    EXPECT_EQ(nullptr, ::dlsym(lib,
                               "_Z13MakeTaskKeyRKNSt7__cxx1112basic_stringIcSt11char_"
                               "traitsIcESaIcEEE"));
    EXPECT_EQ(nullptr, ::dlsym(lib, "_Z21GetStreamTaskManagerv"));
    ::dlclose(lib);
}
