// The service, started as the BT server starts it, over the recording stand-in of the engine:
// one video whose torrent is already in the cache, so that a stream opens without a download,
// and whose pieces the test hands out.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app_settings.h"
#include "recording_engine.h"
#include "server_test_http.h"
#include "service_folders.h"
#include "testsupport/temp_dir.h"

namespace stream_testing {

class RecordedServiceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes the video (random bytes) and its cached torrent; pieces start held or missing.
    void MakeVideo(long long size, int pieceSize, bool held);
    // Starts the service after the test changed settings or timings.
    void StartService();
    // The stream path of the video; another `source` names another video.
    std::string StreamPath(const std::string& source = "http://127.0.0.1:1/video.torrent") const;
    // The engine handle of the video's task (NULL while it has none).
    KvBTHandle TaskHandle() const;

    ServiceFolders folders_;
    const testsupport::TempDir& app_ = folders_.app();
    const testsupport::TempDir& media_ = folders_.media();
    std::string video_;  // the video's bytes
    StreamTimingValues timings_;
    int port_ = 0;
};

}  // namespace stream_testing
