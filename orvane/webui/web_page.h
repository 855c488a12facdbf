// Pages of the player that show remote content, and what becomes of the new windows their
// scripts and links ask for: a new window never appears inside the player; its first address
// goes to the user's browser instead (web addresses only).
#pragma once

#include <QUrl>
#include <QWebPage>
#include <QWebView>

// Remote pages must not load the system's browser plug-ins (the process turns them on for
// every page): every view that shows remote content calls this on its page.
void KeepPluginsOff(QWebPage* page);

// The page of the main widget's show view: a plain page whose new windows are hidden
// views that hand their address to the browser.
class _WebPage : public QWebPage {
    Q_OBJECT

public:
    explicit _WebPage(QObject* parent = nullptr);

protected:
    QWebPage* createWindow(WebWindowType type) override;
};

// The hidden view behind a new window. Its page refuses the first navigation, hands that
// address to the browser and closes the view (which deletes it): the remote document never
// runs inside the player.
class _WebView : public QWebView {
    Q_OBJECT

public:
    explicit _WebView(QWidget* parent = nullptr);

public slots:
    // Hands `url` to the browser, once, and closes the view.
    void urlChanged(QUrl url);

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool handedOn_ = false;
};
