// Direct X11 questions the tests ask to check the helpers from outside.
#pragma once

#include <string>
#include <vector>

#include "window/handle.h"

namespace windowtest {

// The parent in the window tree; 0 when not a window or no display.
platform::window::WindowHandle ParentOf(platform::window::WindowHandle window);
// Destroys a window straight on the X server.
void DestroyWindow(platform::window::WindowHandle window);
// The names in the window's _NET_WM_STATE, in order; and writing them.
std::vector<std::string> StatesOf(platform::window::WindowHandle window);
void SetStates(platform::window::WindowHandle window, const std::vector<std::string>& names);

}  // namespace windowtest
