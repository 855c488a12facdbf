// Real pointer and key input through the X server's test extension, for the player view's
// tests under a real display. Include it last: Xlib's macros clash with Qt's headers.
#pragma once

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <dlfcn.h>

#include <QPoint>

// Real input through the X server's test extension (loaded at run time: only its library is
// installed, not its headers).
class FakeInput {
public:
    FakeInput() : display_(XOpenDisplay(nullptr)), library_(dlopen("libXtst.so.6", RTLD_NOW)) {
        if (library_) {
            motion_ = reinterpret_cast<MotionFn>(dlsym(library_, "XTestFakeMotionEvent"));
            button_ = reinterpret_cast<ButtonFn>(dlsym(library_, "XTestFakeButtonEvent"));
            key_ = reinterpret_cast<KeyFn>(dlsym(library_, "XTestFakeKeyEvent"));
        }
    }
    ~FakeInput() {
        if (display_) XCloseDisplay(display_);
        if (library_) dlclose(library_);
    }
    FakeInput(const FakeInput&) = delete;
    FakeInput& operator=(const FakeInput&) = delete;

    bool Usable() const { return display_ && motion_ && button_ && key_; }
    // With `flush` false the click waits in the queue for what follows, so that the player
    // sees them all at once.
    void Click(QPoint global, bool flush = true) {
        motion_(display_, -1, global.x(), global.y(), 0);
        button_(display_, 1, True, 0);
        button_(display_, 1, False, 0);
        if (flush) XFlush(display_);
    }
    // Presses and releases a key; with `flush` false it waits in the queue for the next one.
    void Tap(KeySym symbol, bool flush = true) {
        key_(display_, XKeysymToKeycode(display_, symbol), True, 0);
        key_(display_, XKeysymToKeycode(display_, symbol), False, 0);
        if (flush) XFlush(display_);
    }
    void Key(KeySym symbol, bool press) {
        key_(display_, XKeysymToKeycode(display_, symbol), press ? True : False, 0);
        XFlush(display_);
    }

private:
    using MotionFn = int (*)(Display*, int, int, int, unsigned long);
    using ButtonFn = int (*)(Display*, unsigned int, Bool, unsigned long);
    using KeyFn = int (*)(Display*, unsigned int, Bool, unsigned long);
    Display* display_;
    void* library_;
    MotionFn motion_ = nullptr;
    ButtonFn button_ = nullptr;
    KeyFn key_ = nullptr;
};
