#include "window/key_repeat.h"

#include <QGuiApplication>
#include <QX11Info>

// Last: Xlib's macros clash with Qt's headers.
#include <X11/XKBlib.h>

namespace platform::window {

bool ReportHeldKeysAsRepeatedPresses() {
    if (!QX11Info::isPlatformX11()) return false;
    Display* display = QX11Info::display();
    if (!display) return false;
    Bool supported = False;
    return XkbSetDetectableAutoRepeat(display, True, &supported) && supported;
}

}  // namespace platform::window
