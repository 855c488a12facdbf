#include "recorded_service_fixture.h"

#include "ferrule_api.h"
#include "file_utils.h"
#include "stream_task_manager.h"
#include "stream_test_service.h"
#include "task_key.h"
#include "testsupport/loopback.h"
#include "testsupport/media.h"

namespace stream_testing {

namespace {
const char kDefaultSource[] = "http://127.0.0.1:1/video.torrent";
}  // namespace

void RecordedServiceTest::SetUp() {
    recording_engine::Reset();
    timings_.idleCloseMs = 300;
    timings_.idleTestMs = 100;
    timings_.throttleRestoreMs = 1000;
}

void RecordedServiceTest::TearDown() {
    ZP2PUninitServer();
    SetStreamTimingsForTesting(StreamTimingValues());
    recording_engine::Reset();
}

void RecordedServiceTest::MakeVideo(long long size, int pieceSize, bool held) {
    const std::string file = media_.file("video.bin");
    ASSERT_TRUE(testsupport::MakeRandomFile(file, size, 17));
    video_ = testsupport::ReadFile(file);
    // The stand-in never reads the torrent; the service only needs to find it cached.
    testsupport::WriteFile(
        folders_.user().Cache("MediaData/" + MakeTaskKey(kDefaultSource) + ".torrent"),
        "d4:infod6:lengthi1eee");
    recording_engine::TaskShape shape;
    shape.filePath = file;
    shape.fileSize = size;
    shape.pieceSize = pieceSize;
    shape.allHeld = held;
    recording_engine::SetTaskShape(shape);
}

void RecordedServiceTest::StartService() {
    SetStreamTimingsForTesting(timings_);
    port_ = testsupport::FreeLoopbackPort();
    StartShippedService(port_);
    ASSERT_NE(nullptr, GetStreamTaskManager());
}

std::string RecordedServiceTest::StreamPath(const std::string& source) const {
    return "/bturl:" + Base64Encode(source) + ",private:" + Base64Encode("false");
}

KvBTHandle RecordedServiceTest::TaskHandle() const {
    CStreamTaskManager* manager = GetStreamTaskManager();
    if (manager == nullptr) return nullptr;
    return manager->HandleOf(MakeTaskKey(kDefaultSource));
}

}  // namespace stream_testing
