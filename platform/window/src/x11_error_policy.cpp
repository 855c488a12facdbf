// Linked into the programs that show the player (not into a library): X errors are never fatal
// there, whoever asks Xlib for its default handler.
//
// The toolkit installs a handler that ignores X errors, since a window it talks to may go at
// any moment (a page that holds the player is closed). The playback engine's video output
// puts back Xlib's default handler, which ends the process, as it shuts down, and only then
// reads the answers to its last requests; when the window it drew into has gone with the page,
// one of them is an error and the program ended with exit code 1 instead of closing. This
// definition of XSetErrorHandler comes before Xlib's for every library of the program and
// turns a request for the default handler into one that reports the error and goes on.
#include <X11/Xlib.h>
#include <dlfcn.h>

#include <cstdio>

namespace {

int ReportAndGoOn(Display*, XErrorEvent* event) {
    std::fprintf(stderr, "X error %d of request %d on resource 0x%lx ignored\n", event->error_code,
                 event->request_code, event->resourceid);
    return 0;
}

using SetErrorHandler = XErrorHandler (*)(XErrorHandler);

SetErrorHandler XlibSetErrorHandler() {
    static const auto function =
        reinterpret_cast<SetErrorHandler>(dlsym(RTLD_NEXT, "XSetErrorHandler"));
    return function;
}

}  // namespace

extern "C" XErrorHandler XSetErrorHandler(XErrorHandler handler) {
    const SetErrorHandler set = XlibSetErrorHandler();
    return set ? set(handler ? handler : ReportAndGoOn) : nullptr;
}
