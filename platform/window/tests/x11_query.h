// Direct X11 questions the tests ask to check the helpers from outside.
#pragma once

#include "window/handle.h"

namespace windowtest {

// The parent in the window tree; 0 when not a window or no display.
platform::window::WindowHandle ParentOf(platform::window::WindowHandle window);
// Destroys a window straight on the X server.
void DestroyWindow(platform::window::WindowHandle window);

}  // namespace windowtest
