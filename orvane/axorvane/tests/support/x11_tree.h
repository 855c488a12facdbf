// The X window tree as the server sees it, and what it shows (Xlib stays out of files that
// include Qt).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "window/handle.h"

namespace webroadtest {

// Children of `window`; none when it is not a window or there is no display.
std::vector<platform::window::WindowHandle> ChildrenOf(platform::window::WindowHandle window);
// True when `ancestor` lies on the way from `window` up to the root.
bool IsDescendantOf(platform::window::WindowHandle window, platform::window::WindowHandle ancestor);
// The process that made `window`, as its _NET_WM_PID tells; none when it does not say.
std::optional<long> ProcessOfWindow(platform::window::WindowHandle window);

struct Area {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
// The rectangle of `window` in the coordinates of `ancestor`.
std::optional<Area> AreaIn(platform::window::WindowHandle window,
                           platform::window::WindowHandle ancestor);
// The colours (0xRRGGBB) that `window` shows in `area`, every `step`th pixel in each direction,
// the windows inside it included; none when it cannot be read.
std::vector<std::uint32_t> SampleColours(platform::window::WindowHandle window, const Area& area,
                                         int step);
// Asks the program of the top-level `window` to close it, as a window manager's close button
// does (WM_DELETE_WINDOW). False when the message could not be sent.
bool RequestClose(platform::window::WindowHandle window);

}  // namespace webroadtest
