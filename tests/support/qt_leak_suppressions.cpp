// Linked into every test program; read only by sanitized builds: allocations that Qt's platform
// plugins (offscreen screens, the session bus connection of xcb) and the web engine's own
// caches never free before exit are not ours to report.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libqoffscreen.so\n"
           "leak:QScreen::QScreen\n"
           "leak:libdbus-1.so\n"
           "leak:libQt5WebKit.so\n";
}
