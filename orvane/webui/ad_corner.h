// Where the tray advertisement goes: the bottom-right corner of the screen's available area
// (the screen less its panels).
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// The top-left point at which a window of `window` size touches the bottom-right corner of
// `available`, in desktop coordinates. A panel on the left or at the top moves the area's
// origin, so the corner is taken from the origin too, not from the area's size alone.
QPoint AdCorner(const QRect& available, const QSize& window);
