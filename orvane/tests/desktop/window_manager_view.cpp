#include "window_manager_view.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace wm_testing {

namespace {

struct DisplayCloser {
    void operator()(Display* display) const {
        if (display) XCloseDisplay(display);
    }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

}  // namespace

bool CarriesStateAbove(unsigned long window) {
    const DisplayPtr display(XOpenDisplay(nullptr));
    if (!display) return false;
    const Atom state = XInternAtom(display.get(), "_NET_WM_STATE", False);
    const Atom above = XInternAtom(display.get(), "_NET_WM_STATE_ABOVE", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(display.get(), window, state, 0, 64, False, XA_ATOM, &type, &format,
                           &count, &after, &data) == Success &&
        data && format == 32)
        for (unsigned long i = 0; i < count; ++i)
            found = found || reinterpret_cast<const unsigned long*>(data)[i] == above;
    if (data) XFree(data);
    return found;
}

struct StateRequests::Connection {
    DisplayPtr display{XOpenDisplay(nullptr)};
};

StateRequests::StateRequests() : connection_(std::make_unique<Connection>()) {
    if (Display* display = connection_->display.get()) {
        XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
        XSync(display, False);
    }
}

StateRequests::~StateRequests() = default;

int StateRequests::LastAboveRequest(unsigned long window) {
    Display* display = connection_->display.get();
    if (!display) return -1;
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    const Atom above = XInternAtom(display, "_NET_WM_STATE_ABOVE", False);
    XSync(display, False);
    int last = -1;
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        const XClientMessageEvent& message = event.xclient;
        if (event.type != ClientMessage || message.message_type != state ||
            message.window != window || message.format != 32)
            continue;
        if (static_cast<Atom>(message.data.l[1]) == above ||
            static_cast<Atom>(message.data.l[2]) == above)
            last = static_cast<int>(message.data.l[0]);
    }
    return last;
}

}  // namespace wm_testing
