// The X window tree as the server sees it (Xlib stays out of files that include Qt).
#pragma once

#include <vector>

#include "window/handle.h"

namespace webroadtest {

// Children of `window`; none when it is not a window or there is no display.
std::vector<platform::window::WindowHandle> ChildrenOf(platform::window::WindowHandle window);
// True when `ancestor` lies on the way from `window` up to the root.
bool IsDescendantOf(platform::window::WindowHandle window, platform::window::WindowHandle ancestor);

}  // namespace webroadtest
