// The home-page view: shows the page named by the value "weburl" (the local file server's
// index.html) with JsExtObj available to its scripts, and lets the player tell that page
// about play-state changes. Registered as "BrowserPage" so other parts can ask it to go home.
#pragma once

#include <QWebView>

class BrowserPage : public QWebView {
    Q_OBJECT

public:
    explicit BrowserPage(QWidget* parent = nullptr);
    ~BrowserPage() override;

    // Calls the page's statusChanged(oldStatus, newStatus, error); its result is dropped.
    Q_INVOKABLE void NotifyStatus(int oldStatus, int newStatus, int error);
    // Loads the home page again.
    Q_INVOKABLE void Home();

    // The page's isCaptionTouched(x, y); false when the page gives no answer.
    bool IsCaptionTouched(int x, int y);

private slots:
    void JavaScriptWindowObjectCleared();
    void LoadFinished(bool ok);
};
