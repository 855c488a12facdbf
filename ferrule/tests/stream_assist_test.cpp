// The stream's HTTP assist branch with a stand-in assist client: bytes the assist holds ahead
// of the engine are streamed from it and handed to the engine, until the engine is well
// ahead and the assist is stopped.
#include <atomic>
#include <chrono>
#include <cstring>

#include "async_http_client.h"
#include "recorded_service_fixture.h"
#include "stream_task_manager.h"
#include "testsupport/loopback.h"

using namespace std::chrono_literals;

namespace stream_testing {

namespace {

// An assist that "downloaded" the given bytes of the file from `start`.
class FakeAssist : public CAsyncHttpClient {
public:
    FakeAssist(std::string data, std::uint64_t start) : data_(std::move(data)), start_(start) {}

    int HttpGetFile(const std::string&, std::uint64_t) override { return 0; }
    void RequestStop() override { stopAsked_ = true; }
    void CloseMainThread() override {
        stopAsked_ = true;
        running_ = false;
        closed_ = true;
    }
    bool IsRunning() const override { return running_; }
    std::uint64_t GetDownloadedBytes() const override { return data_.size(); }
    std::uint64_t GetStartTick() const override { return startTick_; }
    std::uint64_t GetStartPosition() const override { return start_; }
    std::size_t CopyData(std::uint64_t offset, char* into, std::size_t count) const override {
        if (offset >= data_.size()) return 0;
        const std::size_t n = std::min<std::size_t>(count, data_.size() - offset);
        std::memcpy(into, data_.data() + offset, n);
        return n;
    }

    std::atomic<bool> stopAsked_{false};
    std::atomic<bool> closed_{false};

private:
    const std::string data_;
    const std::uint64_t start_;
    const std::uint64_t startTick_ = TickCountMs();
    std::atomic<bool> running_{true};
};

// The bytes handed to the engine, laid out by their offsets.
std::string HandedToTheEngine() {
    std::string out;
    for (const recording_engine::PartData& part : recording_engine::PartDataAdded()) {
        if (out.size() < part.offset + part.bytes.size()) {
            out.resize(static_cast<std::size_t>(part.offset) + part.bytes.size());
        }
        out.replace(static_cast<std::size_t>(part.offset), part.bytes.size(), part.bytes);
    }
    return out;
}

}  // namespace

TEST_F(RecordedServiceTest, BytesTheAssistHoldsAheadOfTheEngineAreStreamedFromIt) {
    constexpr int kPiece = 256 * 1024;
    constexpr std::size_t kAssisted = 2 * 1024 * 1024;
    MakeVideo(24 * kPiece, kPiece, false);
    StartService();
    StreamReader reader(port_, StreamPath(), "Range: bytes=0-");
    ASSERT_TRUE(reader.ReadHeaders(10s));
    ASSERT_EQ(206, reader.status());
    auto assist = std::make_shared<FakeAssist>(video_.substr(0, kAssisted), 0);
    GetStreamTaskManager()->SetHttpClientForTesting(TaskHandle(), assist);

    // The engine holds nothing: what the stream gets comes from the assist.
    std::string body = reader.ReadBody(kAssisted, 10s);
    EXPECT_EQ(kAssisted, body.size());
    EXPECT_TRUE(body == video_.substr(0, body.size())) << "the assisted bytes differ";
    EXPECT_TRUE(HandedToTheEngine() == video_.substr(0, kAssisted))
        << "the engine did not get the assisted bytes";
    EXPECT_FALSE(assist->stopAsked_);

    // The engine gets every piece: far ahead of the assist, which is stopped; the stream
    // goes on from the file.
    recording_engine::Hold(TaskHandle(), 0, 24);
    body += reader.ReadBody(video_.size() - body.size(), 10s);
    EXPECT_TRUE(body == video_) << "the stream differs";
    EXPECT_TRUE(testsupport::WaitUntil([&] { return assist->closed_.load(); }, 5s));
}

}  // namespace stream_testing
