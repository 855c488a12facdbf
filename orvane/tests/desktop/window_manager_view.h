// The player's top-level window as a window manager sees it, for the tests under X: the
// _NET_WM_STATE it carries, and the requests to change that state, which go to the root
// window, where a window manager receives them (the test display runs none).
#pragma once

#include <memory>

namespace wm_testing {

// True when `window` carries _NET_WM_STATE_ABOVE in its _NET_WM_STATE.
bool CarriesStateAbove(unsigned long window);

// Listens for _NET_WM_STATE requests from the moment it is made.
class StateRequests {
public:
    StateRequests();
    ~StateRequests();
    StateRequests(const StateRequests&) = delete;
    StateRequests& operator=(const StateRequests&) = delete;

    // The last request about _NET_WM_STATE_ABOVE for `window` received so far: 1 add, 0
    // remove, -1 none since the last call.
    int LastAboveRequest(unsigned long window);

private:
    struct Connection;
    std::unique_ptr<Connection> connection_;
};

}  // namespace wm_testing
