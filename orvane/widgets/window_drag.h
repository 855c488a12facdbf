// Moving a frameless window by its background: the player's own windows have no title bar,
// so a left-button drag anywhere the children leave to the window moves it.
#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

class WindowDrag : public QObject {
    Q_OBJECT

public:
    // Watches the mouse events of `window` (and those its children pass on to it); owned by
    // the window.
    explicit WindowDrag(QWidget* window);

    // The cursor's offset from the window's top-left corner while a drag is under way;
    // (-1, -1) otherwise.
    QPoint Offset() const { return offset_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    QPoint offset_{-1, -1};
};
