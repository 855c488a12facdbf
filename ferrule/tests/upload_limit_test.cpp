// The user's engine-wide upload limit against the seeding list: seeding has its own limit,
// and whatever stops seeding puts the user's limit back (none when the user set none).
#include <algorithm>
#include <chrono>

#include "ferrule_api.h"
#include "recorded_service_fixture.h"
#include "testsupport/loopback.h"

using namespace std::chrono_literals;

namespace stream_testing {

namespace {

// The engine-wide upload limits set from the `from`th on.
std::vector<int> LimitsSince(std::size_t from) {
    const std::vector<int> all = recording_engine::UploadLimits();
    return from < all.size() ? std::vector<int>(all.begin() + static_cast<long>(from), all.end())
                             : std::vector<int>();
}

bool AllAre(const std::vector<int>& limits, int value) {
    return !limits.empty() &&
           std::all_of(limits.begin(), limits.end(), [value](int v) { return v == value; });
}

}  // namespace

TEST_F(RecordedServiceTest, TheUsersUploadLimitOutlivesEveryStreamAndSeeding) {
    testsupport::WriteFile(app_.file("ini/app.ini"), "[AppSetting]\nsilentUpload=8\n");
    MakeVideo(300000, 65536, true);
    StartService();
    struct Case {
        int userLimit;  // as ZP2PSetSpeedLimit gives it
        int inForce;    // what the engine holds while no torrent is seeded
    };
    for (const Case c : {Case{50000, 50000}, Case{0, -1}, Case{70000, 70000}}) {
        SCOPED_TRACE(c.userLimit);
        ZP2PSetSpeedLimit(0, c.userLimit);
        const std::size_t before = recording_engine::UploadLimits().size();
        // A stream opens (on the first round its torrent also joins the seeding list).
        auto r = Get(port_, StreamPath(), "Range: bytes=0-", 10s);
        ASSERT_EQ(206, r.status);
        ASSERT_TRUE(r.body == video_);
        EXPECT_TRUE(AllAre(LimitsSince(before), c.inForce))
            << "a stream opening lifted the user's limit";

        // Idle, the task closes and its torrent is seeded under the seeding limit.
        ASSERT_TRUE(testsupport::WaitUntil(
            [] {
                return !recording_engine::UploadLimits().empty() &&
                       recording_engine::UploadLimits().back() == 8 * 1024;
            },
            10s));
    }
    // The next stream stops seeding: the user's last limit is in force again.
    const std::size_t before = recording_engine::UploadLimits().size();
    EXPECT_EQ(206, Get(port_, StreamPath(), "Range: bytes=0-", 10s).status);
    EXPECT_TRUE(AllAre(LimitsSince(before), 70000));
}

}  // namespace stream_testing
