// A widget that takes dropped files and hands the first one to the main widget's OpenFile.
// The main window's drop area and the history panel are such widgets.
#pragma once

#include <QWidget>

class QDragWidget : public QWidget {
    Q_OBJECT

public:
    explicit QDragWidget(QWidget* parent = nullptr);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};
