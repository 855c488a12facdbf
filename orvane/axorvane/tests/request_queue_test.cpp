// The browser control's queue on its own, past what one control ever queues: its bound.
#include "request_queue.h"

#include <gtest/gtest.h>

#include "support/private_folders.h"
#include "support/stub_pipe_server.h"
#include "web_requests.h"

namespace {

// Delivers everything that waits, one request at a time as the control's timer does.
std::vector<std::string> Deliver(RequestQueue& queue) {
    webroadtest::StubPipeServer server([](const std::string&) { return std::string("0"); });
    EXPECT_TRUE(server.Listening());
    while (queue.size() > 0) {
        const std::size_t before = queue.size();
        queue.SendOldest();
        if (queue.size() == before) break;  // no answer: would wait for ever
    }
    return server.Texts();
}

TEST(RequestQueueBound, BeyondItTheOldestUrlGoesAndPlaysStayInOrder) {
    webroadtest::PrivateFolders folders;  // no BT server on this pipe
    RequestQueue queue;
    queue.SendOrQueue(PlayRequest(1, "a"));
    for (std::int32_t win = 2; win <= 100; ++win)
        queue.SendOrQueueSetUrl(win, SetUrlRequest(win, "u" + std::to_string(win)));
    queue.SendOrQueue(PlayRequest(101, "b"));
    EXPECT_EQ(queue.size(), RequestQueue::kMaxWaiting);

    std::vector<std::string> expected = {PlayRequest(1, "a")};
    for (std::int32_t win = 39; win <= 100; ++win)
        expected.push_back(SetUrlRequest(win, "u" + std::to_string(win)));
    expected.push_back(PlayRequest(101, "b"));
    EXPECT_EQ(Deliver(queue), expected);

    // Nothing but plays waiting: a further request of either kind is dropped, not queued.
    for (std::int32_t win = 1; win <= 64; ++win) queue.SendOrQueue(PlayRequest(win, "p"));
    queue.SendOrQueueSetUrl(7, SetUrlRequest(7, "late"));
    queue.SendOrQueue(PlayRequest(65, "late"));
    const std::vector<std::string> plays = Deliver(queue);
    ASSERT_EQ(plays.size(), RequestQueue::kMaxWaiting);
    EXPECT_EQ(plays.front(), PlayRequest(1, "p"));
    EXPECT_EQ(plays.back(), PlayRequest(64, "p"));
}

}  // namespace
