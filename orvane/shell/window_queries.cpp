// The desktop questions of host_queries.h that need the X display.
#include "host_queries.h"
#include "window/x11_window.h"

bool IsWindowShown(const QString& title) {
    return platform::window::FindVisibleWindowByTitle(title.toStdString()) != 0;
}
