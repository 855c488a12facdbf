#include "x11_tree.h"

#include <X11/Xlib.h>

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

}  // namespace webroadtest
