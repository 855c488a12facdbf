// Linked into every test program; read only by sanitized builds: allocations that Qt's platform
// plugins (offscreen screens, the session bus connection of xcb) and the web engine's own
// caches never free before exit are not ours to report.
//
// Qt's per-thread data is reported now and then (about one run in two of the test that keeps
// the real update watcher's thread running, never with full stack walks): Qt is built without
// frame pointers, so the report names only the thread constructor it was inlined into, and a
// leak of ours would name the same. Our own threads end with their owners, which the tests of
// those owners check.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libqoffscreen.so\n"
           "leak:QScreen::QScreen\n"
           "leak:libdbus-1.so\n"
           "leak:libQt5WebKit.so\n"
           "leak:QThread::QThread\n";
}
