// The desktop program's window: a top-level window holding the player control, the way any
// host holds it. Being the player's own window, it shows the form's title bar (main menu and
// window buttons) and the history button, which a host's page does without.
//
// Closing the window ends the program. The player's own close (the main widget closes itself,
// for example from a page's script) ends it as well: the main widget takes its player view
// with it, and an empty window with no way to play again would be left.
#pragma once

#include <QVariantMap>
#include <QWidget>

class AXWrapWidget;
class orvane;

class DesktopWindow : public QWidget {
    Q_OBJECT

public:
    DesktopWindow();

    orvane* MainWidget() const;
    // Makes the player play `request` through the main widget's PlayVideo, called by name and
    // queued as every other part of the player calls it.
    void Play(const QVariantMap& request);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    AXWrapWidget* control_;
};
