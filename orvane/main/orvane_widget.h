// The player's main widget. For now it only takes its place in the control; the window,
// the player and the pages fill it later.
#pragma once

#include <QString>
#include <QWidget>

class orvane : public QWidget {
    Q_OBJECT

public:
    explicit orvane(QWidget* parent = nullptr);
    ~orvane() override;

    // The cursor is over the part of the window by which it is dragged. The window has no
    // such part yet.
    bool IsInDragArea();

public slots:
    void setOvUrl(const QString& url);
    // The play state that hosts read through the control; 0 while nothing plays.
    int GetState();
};
