// Questions about windows of any process on the X display ($DISPLAY), and the window
// manager's stay-on-top state of a top-level window. Every function answers "no" (false,
// std::nullopt, 0) when there is no display; a handle that names no window is trapped (never
// an X error that ends the process).
#pragma once

#include <optional>
#include <string>

#include "window/handle.h"

namespace platform::window {

struct Geometry {
    int x = 0;  // relative to the parent window
    int y = 0;
    int width = 0;
    int height = 0;
};

bool HasDisplay();
bool IsWindow(WindowHandle handle);
std::optional<Geometry> WindowGeometry(WindowHandle handle);
// Mapped, with every ancestor mapped.
bool IsWindowVisible(WindowHandle handle);
// _NET_WM_NAME (UTF-8), else WM_NAME; "" when none or not a window.
std::string WindowTitle(WindowHandle handle);
// A visible top-level window whose title is exactly `utf8Title` (the window manager's client
// list, or the window tree when no window manager runs); 0 when none.
WindowHandle FindVisibleWindowByTitle(const std::string& utf8Title);

// Keeps the top-level `window` above other windows, or no longer, as the window manager's
// _NET_WM_STATE_ABOVE: written into the window's state while it is not mapped (a window manager
// reads it when the window is mapped) and asked of the window manager in every case, which
// owns that state once the window is mapped. The window itself is left as it is. False when
// `window` is not a window.
bool KeepWindowAbove(WindowHandle window, bool above);

}  // namespace platform::window
