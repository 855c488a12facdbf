#include "window/x11_window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <vector>

#include "x11_connection.h"

namespace platform::window {

namespace {

using detail::ErrorTrap;
using detail::X11Session;

bool Attributes(Display* d, Window w, XWindowAttributes& attributes) {
    if (!d || w == 0) return false;
    ErrorTrap trap(d);
    const Status ok = XGetWindowAttributes(d, w, &attributes);
    return !trap.Failed() && ok != 0;
}

std::string Latin1ToUtf8(const unsigned char* text, unsigned long length) {
    std::string out;
    for (unsigned long i = 0; i < length; ++i) {
        const unsigned char c = text[i];
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::optional<std::string> NetWmName(Display* d, Window w) {
    const Atom name = XInternAtom(d, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    ErrorTrap trap(d);
    const int status =
        XGetWindowProperty(d, w, name, 0, 4096, False, utf8, &type, &format, &count, &after, &data);
    std::optional<std::string> title;
    if (!trap.Failed() && status == Success && data && type == utf8 && format == 8)
        title = std::string(reinterpret_cast<char*>(data), count);
    if (data) XFree(data);
    return title;
}

std::string WmName(Display* d, Window w) {
    XTextProperty property{};
    ErrorTrap trap(d);
    const Status ok = XGetWMName(d, w, &property);
    std::string title;
    if (!trap.Failed() && ok && property.value) {
        if (property.encoding == XA_STRING) {
            title = Latin1ToUtf8(property.value, property.nitems);
        } else {
            char** list = nullptr;
            int count = 0;
            if (Xutf8TextPropertyToTextList(d, &property, &list, &count) >= Success && list &&
                count > 0 && list[0])
                title = list[0];
            if (list) XFreeStringList(list);
        }
    }
    if (property.value) XFree(property.value);
    return title;
}

std::string Title(Display* d, Window w) {
    if (std::optional<std::string> name = NetWmName(d, w)) return *name;
    return WmName(d, w);
}

bool Viewable(Display* d, Window w) {
    XWindowAttributes a;
    return Attributes(d, w, a) && a.map_state == IsViewable;
}

// The window manager's client list, when one runs and publishes it.
std::optional<std::vector<Window>> ClientList(Display* d) {
    const Atom list = XInternAtom(d, "_NET_CLIENT_LIST", True);
    if (list == None) return std::nullopt;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    ErrorTrap trap(d);
    const int status = XGetWindowProperty(d, DefaultRootWindow(d), list, 0, 65536, False, XA_WINDOW,
                                          &type, &format, &count, &after, &data);
    std::optional<std::vector<Window>> windows;
    if (!trap.Failed() && status == Success && data && type == XA_WINDOW && format == 32) {
        // Format-32 properties come back as an array of longs.
        const unsigned long* ids = reinterpret_cast<const unsigned long*>(data);
        windows = std::vector<Window>(ids, ids + count);
    }
    if (data) XFree(data);
    return windows;
}

std::vector<Window> Children(Display* d, Window w) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    ErrorTrap trap(d);
    std::vector<Window> out;
    if (XQueryTree(d, w, &root, &parent, &children, &count) && !trap.Failed() && children)
        out.assign(children, children + count);
    if (children) XFree(children);
    return out;
}

// Without a window manager, top-level windows are the root's children; a window manager that
// publishes no client list puts them one or two levels lower (inside its frames).
Window FindInTree(Display* d, Window w, const std::string& title, int depth) {
    for (Window child : Children(d, w)) {
        if (!Viewable(d, child)) continue;
        if (Title(d, child) == title) return child;
        if (depth > 1)
            if (Window found = FindInTree(d, child, title, depth - 1)) return found;
    }
    return 0;
}

// The window's own _NET_WM_STATE with _NET_WM_STATE_ABOVE in it or not; the other states stay.
void WriteStateAbove(Display* d, Window w, Atom state, Atom stateAbove, bool above) {
    std::vector<Atom> states;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, w, state, 0, 1024, False, XA_ATOM, &type, &format, &count, &after,
                           &data) == Success &&
        data && type == XA_ATOM && format == 32) {
        const auto* atoms = reinterpret_cast<const unsigned long*>(data);
        for (unsigned long i = 0; i < count; ++i)
            if (atoms[i] != stateAbove) states.push_back(atoms[i]);
    }
    if (data) XFree(data);
    if (above) states.push_back(stateAbove);
    if (states.empty()) {
        XDeleteProperty(d, w, state);
        return;
    }
    XChangeProperty(d, w, state, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(states.data()),
                    static_cast<int>(states.size()));
}

// The request of the window-manager conventions: add (1) or remove (0) one state, from a
// normal application (source 1).
void RequestStateAbove(Display* d, Window w, Window root, Atom state, Atom stateAbove, bool above) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = w;
    event.xclient.message_type = state;
    event.xclient.format = 32;
    event.xclient.data.l[0] = above ? 1 : 0;
    event.xclient.data.l[1] = static_cast<long>(stateAbove);
    event.xclient.data.l[2] = 0;
    event.xclient.data.l[3] = 1;
    XSendEvent(d, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

}  // namespace

bool HasDisplay() { return X11Session().display() != nullptr; }

bool IsWindow(WindowHandle handle) {
    X11Session session;
    XWindowAttributes a;
    return Attributes(session.display(), handle, a);
}

std::optional<Geometry> WindowGeometry(WindowHandle handle) {
    X11Session session;
    XWindowAttributes a;
    if (!Attributes(session.display(), handle, a)) return std::nullopt;
    return Geometry{a.x, a.y, a.width, a.height};
}

bool IsWindowVisible(WindowHandle handle) {
    X11Session session;
    return Viewable(session.display(), handle);
}

std::string WindowTitle(WindowHandle handle) {
    X11Session session;
    if (!session.display() || handle == 0) return {};
    return Title(session.display(), handle);
}

WindowHandle FindVisibleWindowByTitle(const std::string& utf8Title) {
    X11Session session;
    Display* d = session.display();
    if (!d) return 0;
    if (std::optional<std::vector<Window>> clients = ClientList(d)) {
        for (Window w : *clients)
            if (Viewable(d, w) && Title(d, w) == utf8Title) return w;
        return 0;
    }
    return FindInTree(d, DefaultRootWindow(d), utf8Title, 3);
}

bool KeepWindowAbove(WindowHandle handle, bool above) {
    X11Session session;
    Display* d = session.display();
    XWindowAttributes a;
    if (!Attributes(d, handle, a)) return false;
    const Atom state = XInternAtom(d, "_NET_WM_STATE", False);
    const Atom stateAbove = XInternAtom(d, "_NET_WM_STATE_ABOVE", False);
    ErrorTrap trap(d);
    if (a.map_state == IsUnmapped) WriteStateAbove(d, handle, state, stateAbove, above);
    // Also when not mapped: a window manager may be about to map it, having read its state.
    RequestStateAbove(d, handle, a.root, state, stateAbove, above);
    return !trap.Failed();
}

}  // namespace platform::window
