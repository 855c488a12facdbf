#include <gtest/gtest.h>

// Last: Xlib's macros clash with the test framework's names.
#include <X11/Xlib.h>

namespace {

// Xlib's default handler would end this process at the error below.
TEST(X11ErrorPolicy, AnErrorAfterAskingForTheDefaultHandlerIsReportedAndTheProgramGoesOn) {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    XSetErrorHandler(nullptr);
    const Window gone =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(display, gone);
    XUnmapWindow(display, gone);  // BadWindow
    XSync(display, False);
    XCloseDisplay(display);
}

}  // namespace
