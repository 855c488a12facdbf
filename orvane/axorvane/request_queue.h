// The browser control's requests that found no BT server yet, oldest first. The control's
// timer delivers them one at a time, in the order in which they failed.
//
// The queue is bounded: a page may set its URL thousands of times while no BT server answers.
// Only the newest URL of a window matters, so a "seturl" replaces the one of its window still
// waiting; and beyond kMaxWaiting requests the oldest "seturl" goes ("play" requests stay, in
// their order).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

class RequestQueue {
public:
    static constexpr std::size_t kMaxWaiting = 64;

    // One exchange now; without a reply the request waits at the back. A request too long
    // for one pipe message could never be delivered and would hold up every request behind
    // it: it is dropped with a debug line instead.
    void SendOrQueue(std::string request);
    // The same for a "seturl" of window `win`, which first takes the place of the one of that
    // window still waiting: delivered later, that one would undo this newer URL.
    void SendOrQueueSetUrl(std::int32_t win, std::string request);
    // Sends the oldest waiting request once; it leaves the queue when it got a reply.
    void SendOldest();

    std::size_t size() const { return waiting_.size(); }

private:
    struct Waiting {
        std::string text;
        std::optional<std::int32_t> setUrlWin;  // the window of a "seturl"
    };
    void Send(Waiting request);
    void Queue(Waiting request);

    std::deque<Waiting> waiting_;
};
