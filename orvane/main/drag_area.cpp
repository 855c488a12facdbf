#include "drag_area.h"

#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace {

constexpr int kBand = 3;
constexpr int kTitleHeight = 40;
constexpr int kTitleLeft = 36;
constexpr int kTitleRight = 65;

bool InBand(int value, int length) {
    return (value >= 1 && value <= kBand) || (value >= length - kBand && value <= length - 1);
}

}  // namespace

bool InDragArea(QPoint local, QSize size, bool maximized) {
    const int x = local.x();
    const int y = local.y();
    if (!maximized && (InBand(x, size.width()) || InBand(y, size.height()))) return true;
    // The title strip holds a window in either state.
    if (x < kTitleLeft) return false;
    return x < size.width() - kTitleRight && y < kTitleHeight;
}

int DragEdges(QPoint local, QSize size) {
    int edges = 0;
    if (local.x() >= 1 && local.x() <= kBand) edges |= Qt::LeftEdge;
    if (local.x() >= size.width() - kBand && local.x() <= size.width() - 1) edges |= Qt::RightEdge;
    if (local.y() >= 1 && local.y() <= kBand) edges |= Qt::TopEdge;
    if (local.y() >= size.height() - kBand && local.y() <= size.height() - 1)
        edges |= Qt::BottomEdge;
    return edges;
}

QRect ResizedGeometry(const QRect& start, int edges, QPoint delta, QSize minimum) {
    QRect rect = start;
    if (edges & Qt::LeftEdge)
        rect.setLeft(std::min(start.left() + delta.x(), start.right() + 1 - minimum.width()));
    if (edges & Qt::RightEdge)
        rect.setRight(std::max(start.right() + delta.x(), start.left() + minimum.width() - 1));
    if (edges & Qt::TopEdge)
        rect.setTop(std::min(start.top() + delta.y(), start.bottom() + 1 - minimum.height()));
    if (edges & Qt::BottomEdge)
        rect.setBottom(std::max(start.bottom() + delta.y(), start.top() + minimum.height() - 1));
    return rect;
}

void WindowMover::Press(QWidget* window, int edges, QPoint global) {
    Release();
    if (!window) return;
    QWindow* handle = window->windowHandle();
    const bool bySystem =
        handle && (edges ? handle->startSystemResize(Qt::Edges(edges)) : handle->startSystemMove());
    // No window manager to ask (a bare X server, for one): the window follows by itself,
    // unless it is maximised, where it stays.
    if (bySystem || window->isMaximized()) return;
    window_ = window;
    edges_ = edges;
    pressGlobal_ = global;
    startPos_ = window->pos();
    startGeometry_ = window->geometry();
}

bool WindowMover::Move(QPoint global) {
    if (!window_) return false;
    const QPoint delta = global - pressGlobal_;
    if (edges_ == 0)
        window_->move(startPos_ + delta);
    else
        window_->setGeometry(
            ResizedGeometry(startGeometry_, edges_, delta, window_->minimumSizeHint()));
    return true;
}

void WindowMover::Release() {
    window_ = nullptr;
    edges_ = 0;
}
