#include "display_probe.h"

#include <X11/Xlib.h>

#include <cstdlib>
#include <string>

namespace kvupdater {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool XDisplayAnswers() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    XCloseDisplay(display);
    return true;
}

}  // namespace

bool DisplayAvailable() {
    const bool x11 = !Environment("DISPLAY").empty();
    const bool wayland = !Environment("WAYLAND_DISPLAY").empty();
    if (!x11 && !wayland) return false;
    const std::string platformName = Environment("QT_QPA_PLATFORM");
    // Qt picks xcb unless told otherwise, and aborts when the X server does not answer.
    if (platformName.empty() || platformName.rfind("xcb", 0) == 0) return x11 && XDisplayAnswers();
    return true;
}

}  // namespace kvupdater
