// What the tray and the focus advertisement windows share: a frameless splash window with a
// header (logo, name, close button) above one web view on a page of the web service. The window
// stays hidden until its page has loaded and the show delay has passed; every later successful
// load (the page's own script may load again) restarts that delay, and shows the window again
// even after the user closed it. Closing only hides it; the main widget deletes it.
//
// Its title is a marker: while a window of the same title is shown on the desktop, by any
// process, a new one closes itself at construction and requests nothing.
//
// The page is remote content: no browser plug-ins and no clipboard, links and new windows go to
// the user's browser (web addresses only), and scripts of the page's own origin get JsExtObj.
// All on the user-interface thread.
#pragma once

#include <QSize>
#include <QUrl>
#include <QWidget>

class QWebView;

// What tells one kind of advertisement window from the other.
struct AdWindowKind {
    const char* objectName;  // also the translation context of its texts
    const char* marker;      // the window title, untranslated
    const char* page;        // relative to the web-service base
    QSize size;
    const char* styleSheet;
    Qt::Orientation outerLayout;
};

class AdWindow : public QWidget {
    Q_OBJECT

protected:
    AdWindow(const AdWindowKind& kind, QWidget* parent);

    // Called at each successful load, before the show delay starts again.
    virtual void PlaceOnLoad() {}
    void timerEvent(QTimerEvent* event) override;

private slots:
    void LoadFinished(bool ok);
    void JavaScriptWindowObjectCleared();
    void LinkClicked(QUrl url);

private:
    void BuildForm(const AdWindowKind& kind);
    void ConnectView();

    int showTimer_ = -1;
    QWebView* view_ = nullptr;
};

// The delay between a successful load and showing the window that windows made from now on
// use; 0 restores the shipped 10 000 ms. For tests that cannot wait that long.
void SetAdShowDelayForTesting(int milliseconds);
