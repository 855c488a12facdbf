#include "x11_query.h"

#include <X11/Xlib.h>

namespace windowtest {

namespace {

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

}  // namespace

platform::window::WindowHandle ParentOf(platform::window::WindowHandle window) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return 0;
    XErrorHandler previous = XSetErrorHandler(IgnoreErrors);
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, window, &root, &parent, &children, &count)) parent = 0;
    if (children) XFree(children);
    XSync(d, False);
    XSetErrorHandler(previous);
    XCloseDisplay(d);
    return parent;
}

void DestroyWindow(platform::window::WindowHandle window) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return;
    XDestroyWindow(d, window);
    XSync(d, False);
    XCloseDisplay(d);
}

}  // namespace windowtest
