// Window operations on the player's window. The main widget sits inside the control, which
// may be a top-level window of this process (the desktop program) or a window embedded in a
// window of another process (the host program inside a browser control). Maximising,
// minimising, stay-on-top, full screen and moving act on the top-level window only in the
// first case: a window inside someone else's window is theirs to place.
#pragma once

class QWidget;

// The top-level window of `widget` when it belongs to this process and is not embedded in a
// foreign window; null otherwise (also for a null widget).
QWidget* OwnTopWindow(QWidget* widget);

// True when `widget`'s own top-level window is maximised; always false when embedded.
bool IsOwnWindowMaximized(QWidget* widget);

// Maximises the own top-level window, or shows it normal when it is maximised already.
void ToggleOwnWindowMaximized(QWidget* widget);
void MinimizeOwnWindow(QWidget* widget);

// Sets or clears the stay-on-top hint of the own top-level window. Its native window, and
// every native window inside it, stays as it is: a window that exists is kept above through
// the window manager.
void SetOwnWindowOnTop(QWidget* widget, bool onTop);
