#include "x11_connection.h"

#include <cstdlib>

namespace platform::window::detail {

namespace {

std::mutex& SessionMutex() {
    static std::mutex m;
    return m;
}

// Xlib's error handler is process-wide; the trap state is guarded by TrapMutex.
std::recursive_mutex& TrapMutex() {
    static std::recursive_mutex m;
    return m;
}
Display* g_trapDisplay = nullptr;
XErrorHandler g_forward = nullptr;
bool g_failed = false;

int TrapHandler(Display* display, XErrorEvent* event) {
    if (display == g_trapDisplay) {
        g_failed = true;
        return 0;
    }
    return g_forward ? g_forward(display, event) : 0;
}

Display* SharedDisplay() {
    static Display* display = [] {
        const char* name = std::getenv("DISPLAY");
        return name && *name ? XOpenDisplay(nullptr) : nullptr;
    }();
    return display;
}

}  // namespace

ErrorTrap::ErrorTrap(Display* display) : display_(display) {
    TrapMutex().lock();
    g_trapDisplay = display;
    g_failed = false;
    previous_ = XSetErrorHandler(TrapHandler);
    g_forward = previous_;
}

ErrorTrap::~ErrorTrap() {
    if (display_) XSync(display_, False);
    XSetErrorHandler(previous_);
    g_trapDisplay = nullptr;
    g_forward = nullptr;
    TrapMutex().unlock();
}

bool ErrorTrap::Failed() {
    if (display_) XSync(display_, False);
    const bool failed = g_failed;
    g_failed = false;
    return failed;
}

X11Session::X11Session() : lock_(SessionMutex()), display_(SharedDisplay()) {}

X11Session::~X11Session() = default;

}  // namespace platform::window::detail
