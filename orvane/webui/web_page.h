// Pages of the player that show remote content, and what becomes of the new windows their
// scripts and links ask for: a new window never appears inside the player; its first address
// goes to the user's browser instead (web addresses only, at most one a second from a page).
#pragma once

#include <QPointer>
#include <QUrl>
#include <QWebPage>
#include <QWebView>

// Remote pages must not load the system's browser plug-ins nor read or replace what the user
// copied (the process allows both for every page): every view that shows remote content
// calls this on its page.
void ConfineRemotePage(QWebPage* page);

// The page of the main widget's show view: a plain page whose new windows are hidden
// views that hand their address to the browser. At most kMaxHiddenWindows of them exist at
// once in the process; a page's request for one more opens nothing.
class _WebPage : public QWebPage {
    Q_OBJECT

public:
    explicit _WebPage(QObject* parent = nullptr);

protected:
    QWebPage* createWindow(WebWindowType type) override;
};

// The hidden view behind a new window. Its page refuses the first navigation, hands that
// address to the browser and closes the view (which deletes it): the remote document never
// runs inside the player. A window that never navigates (a script's "javascript:" window)
// is closed after kFirstNavigationMs all the same.
class _WebView : public QWebView {
    Q_OBJECT

public:
    static constexpr int kMaxHiddenWindows = 8;
    static constexpr int kFirstNavigationMs = 5000;

    // `opener`: the page whose new window this is; the browser starts count against it.
    explicit _WebView(QWidget* parent = nullptr, QWebPage* opener = nullptr);
    ~_WebView() override;

    // The views that exist now, in the whole process.
    static int Count();

public slots:
    // Hands `url` to the browser, once, and closes the view.
    void urlChanged(QUrl url);

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool handedOn_ = false;
    QPointer<QWebPage> opener_;
};
