#include "x11_query.h"

#include <X11/Xatom.h>
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

std::vector<std::string> StatesOf(platform::window::WindowHandle window) {
    std::vector<std::string> names;
    Display* d = XOpenDisplay(nullptr);
    if (!d) return names;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, window, XInternAtom(d, "_NET_WM_STATE", False), 0, 64, False, XA_ATOM,
                           &type, &format, &count, &after, &data) == Success &&
        data && format == 32) {
        for (unsigned long i = 0; i < count; ++i) {
            char* name = XGetAtomName(d, reinterpret_cast<const unsigned long*>(data)[i]);
            names.emplace_back(name ? name : "");
            if (name) XFree(name);
        }
    }
    if (data) XFree(data);
    XCloseDisplay(d);
    return names;
}

void SetStates(platform::window::WindowHandle window, const std::vector<std::string>& names) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return;
    std::vector<Atom> atoms;
    for (const std::string& name : names) atoms.push_back(XInternAtom(d, name.c_str(), False));
    XChangeProperty(d, window, XInternAtom(d, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(atoms.data()),
                    static_cast<int>(atoms.size()));
    XSync(d, False);
    XCloseDisplay(d);
}

}  // namespace windowtest
