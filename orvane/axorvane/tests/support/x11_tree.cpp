#include "x11_tree.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace webroadtest {

namespace {

// One display connection whose errors (a handle that names no window) are ignored: the
// asking call then simply fails.
class Connection {
public:
    Connection() : display_(XOpenDisplay(nullptr)) {
        if (display_) previous_ = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    ~Connection() {
        if (!display_) return;
        XSetErrorHandler(previous_);
        XCloseDisplay(display_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Display* get() const { return display_; }

    // Children and parent of `window`; false when it is no window.
    bool Query(Window window, std::vector<platform::window::WindowHandle>* children,
               Window* parent) {
        if (!display_) return false;
        Window root = 0;
        Window* list = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display_, window, &root, parent, &list, &count)) return false;
        if (children) children->assign(list, list + count);
        if (list) XFree(list);
        return true;
    }

private:
    Display* display_;
    XErrorHandler previous_ = nullptr;
};

}  // namespace

std::vector<platform::window::WindowHandle> ChildrenOf(platform::window::WindowHandle window) {
    std::vector<platform::window::WindowHandle> children;
    Window parent = 0;
    Connection().Query(window, &children, &parent);
    return children;
}

bool IsDescendantOf(platform::window::WindowHandle window,
                    platform::window::WindowHandle ancestor) {
    Connection connection;
    Window parent = 0;
    for (Window at = window; at != 0 && connection.Query(at, nullptr, &parent); at = parent)
        if (parent == ancestor) return true;
    return false;
}

std::optional<long> ProcessOfWindow(platform::window::WindowHandle window) {
    Connection connection;
    if (!connection.get()) return std::nullopt;
    const Atom pidAtom = XInternAtom(connection.get(), "_NET_WM_PID", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::optional<long> pid;
    if (XGetWindowProperty(connection.get(), window, pidAtom, 0, 1, False, XA_CARDINAL, &type,
                           &format, &count, &after, &data) == Success &&
        type == XA_CARDINAL && format == 32 && count == 1)
        pid = *reinterpret_cast<long*>(data);
    if (data) XFree(data);
    return pid;
}

std::optional<Area> AreaIn(platform::window::WindowHandle window,
                           platform::window::WindowHandle ancestor) {
    Connection connection;
    if (!connection.get()) return std::nullopt;
    Window root = 0;
    int x = 0;
    int y = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned border = 0;
    unsigned depth = 0;
    if (!XGetGeometry(connection.get(), window, &root, &x, &y, &width, &height, &border, &depth))
        return std::nullopt;
    Window child = 0;
    if (!XTranslateCoordinates(connection.get(), window, ancestor, 0, 0, &x, &y, &child))
        return std::nullopt;
    return Area{x, y, static_cast<int>(width), static_cast<int>(height)};
}

std::vector<std::uint32_t> SampleColours(platform::window::WindowHandle window, const Area& area,
                                         int step) {
    Connection connection;
    std::vector<std::uint32_t> colours;
    if (!connection.get() || area.width <= 0 || area.height <= 0 || step <= 0) return colours;
    XImage* image =
        XGetImage(connection.get(), window, area.x, area.y, static_cast<unsigned>(area.width),
                  static_cast<unsigned>(area.height), AllPlanes, ZPixmap);
    if (!image) return colours;
    for (int y = 0; y < area.height; y += step)
        for (int x = 0; x < area.width; x += step)
            colours.push_back(static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF));
    XDestroyImage(image);
    return colours;
}

bool RequestClose(platform::window::WindowHandle window) {
    Connection connection;
    if (!connection.get()) return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(connection.get(), "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] =
        static_cast<long>(XInternAtom(connection.get(), "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(connection.get(), window, False, NoEventMask, &event);
    XSync(connection.get(), False);
    return sent != 0;
}

}  // namespace webroadtest
