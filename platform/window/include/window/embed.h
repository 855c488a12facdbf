// Placing one of our widgets inside a window of another process.
#pragma once

#include "window/handle.h"

class QWidget;

namespace platform::window {

// Makes `widget` a native child of `foreign`, at (0, 0) with the foreign window's size
// (taken once), and shows it. False when `foreign` is not a window or Qt does not run on X11.
bool EmbedWidget(QWidget* widget, WindowHandle foreign);

}  // namespace platform::window
