// The process-wide X connection of the window helpers, used under one lock, with X errors of
// each request trapped instead of ending the process.
#pragma once

#include <X11/Xlib.h>

#include <mutex>

namespace platform::window::detail {

class X11Session {
public:
    X11Session();  // takes the lock; display() is null without a display
    ~X11Session();
    X11Session(const X11Session&) = delete;
    X11Session& operator=(const X11Session&) = delete;

    Display* display() const { return display_; }

private:
    std::unique_lock<std::mutex> lock_;
    Display* display_;
};

// Installs a handler that records errors on `display` and forwards others; restores on exit.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display);
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    // Waits for the requests so far; true when one of them failed since the last call.
    bool Failed();

private:
    Display* display_;
    XErrorHandler previous_;
};

}  // namespace platform::window::detail
