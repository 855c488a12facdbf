// The streaming service against a loopback seeder: generated torrents, a small HTTP server
// for the torrent files, and the service started in process, as the BT server starts it,
// with short idle times.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app_settings.h"
#include "loopback_seeder.h"
#include "server_test_http.h"
#include "service_folders.h"
#include "stream_task_manager.h"
#include "testsupport/temp_dir.h"

namespace stream_testing {

// One generated torrent and what a stream URL needs to name it.
struct TestTorrent {
    std::string torrentPath;  // the .torrent file
    std::string torrentUrl;   // where the file server hands it out
    std::string streamed;     // the bytes of the file the service should choose
    std::string key;          // task key of torrentUrl
    int pieceSize = 0;
};

class StreamE2ETest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes a single-file torrent of `size` random bytes and seeds it.
    TestTorrent MakeSingle(const std::string& name, long long size, int pieceSize, unsigned seed);
    // Makes a torrent of a folder with a small first file and a large second one.
    TestTorrent MakeMultiFile(const std::string& name, long long smallSize, long long largeSize,
                              int pieceSize);

    // Stream path for a source ("bturl:" value) with the seeder as its peer source.
    std::string StreamPath(const std::string& source) const;
    std::string StreamPath(const TestTorrent& t) const { return StreamPath(t.torrentUrl); }

    // Starts the seeder and the service (after the test changed timings or settings). The
    // service starts as the BT server starts it; the seeder takes TCP and uTP unless told.
    void StartService(int seederUploadLimit = 0, kvbt_testing::SeederTransport transport =
                                                     kvbt_testing::SeederTransport::TcpAndUtp);
    CStreamTaskManager& Manager() { return *GetStreamTaskManager(); }

    ServiceFolders folders_;
    const testsupport::TempDir& app_ = folders_.app();      // the service's folder
    const testsupport::TempDir& media_ = folders_.media();  // its save path
    testsupport::TempDir seed_;  // the seeder's data and the torrent files
    std::unique_ptr<kvbt_testing::LoopbackSeeder> seeder_;
    std::unique_ptr<TestFileServer> files_;
    std::vector<std::pair<std::string, std::string>> seeded_;  // torrent, folder
    int port_ = 0;
    StreamTimingValues timings_;
};

}  // namespace stream_testing
