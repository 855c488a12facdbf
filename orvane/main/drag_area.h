// Where the frameless main window is taken hold of, and how it then follows the pointer.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// `local` is the pointer in the widget's own coordinates, `size` the widget's size. Any window
// is held by its title strip (the top 40 pixels without the first 36 and the last 65); one
// that is not maximised also by a band three pixels wide along each edge, inside the
// outermost pixel.
bool InDragArea(QPoint local, QSize size, bool maximized);

// The edges of a widget of `size` whose band `local` lies in (Qt::Edges as int); 0 when none.
int DragEdges(QPoint local, QSize size);

// The geometry of a window that had `start` when the pointer was pressed and that is
// resized from `edges` by the pointer's move `delta`; never smaller than `minimum`.
QRect ResizedGeometry(const QRect& start, int edges, QPoint delta, QSize minimum);

// Moves or resizes a top-level window by the pointer. The window system does it when it can
// (a window manager runs); otherwise the window follows the pointer's moves itself.
class WindowMover {
public:
    // Starts a move (edges 0) or a resize from `edges` of `window` for a press at `global`.
    void Press(QWidget* window, int edges, QPoint global);
    // Follows a move with the button held; false when no manual move or resize runs.
    bool Move(QPoint global);
    void Release();

private:
    QWidget* window_ = nullptr;
    int edges_ = 0;
    QPoint pressGlobal_;
    QPoint startPos_;
    QRect startGeometry_;
};
