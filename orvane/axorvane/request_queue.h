// The browser control's requests that found no BT server yet, oldest first. The control's
// timer delivers them one at a time, in the order in which they failed.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

class RequestQueue {
public:
    // One exchange now; without a reply the request waits at the back. A request too long
    // for one pipe message could never be delivered and would hold up every request behind
    // it: it is dropped with a debug line instead.
    void SendOrQueue(std::string request);
    // Sends the oldest waiting request once; it leaves the queue when it got a reply.
    void SendOldest();

    std::size_t size() const { return waiting_.size(); }

private:
    std::deque<std::string> waiting_;
};
