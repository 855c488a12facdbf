#include "web_page.h"

#include <QDebug>
#include <QShowEvent>
#include <QTimer>
#include <QWebFrame>
#include <QWebSettings>

#include "browser_starts.h"

namespace {

// The page of a new window: its first navigation request is the address the window was
// opened for.
class NewWindowPage : public QWebPage {
public:
    NewWindowPage(_WebView* view) : QWebPage(view), view_(view) { ConfineRemotePage(this); }

protected:
    // A script of a window nobody sees must not open boxes.
    void javaScriptAlert(QWebFrame*, const QString&) override {}
    bool javaScriptConfirm(QWebFrame*, const QString&) override { return false; }
    bool javaScriptPrompt(QWebFrame*, const QString&, const QString&, QString*) override {
        return false;
    }

    bool acceptNavigationRequest(QWebFrame*, const QNetworkRequest& request,
                                 NavigationType) override {
        // Deferred: the view must not go while the engine is still inside this call.
        const QUrl url = request.url();
        QTimer::singleShot(0, view_, [view = view_, url] { view->urlChanged(url); });
        return false;
    }

private:
    _WebView* view_;
};

int g_hiddenWindows = 0;

}  // namespace

void ConfineRemotePage(QWebPage* page) {
    if (!page) return;
    page->settings()->setAttribute(QWebSettings::PluginsEnabled, false);
    page->settings()->setAttribute(QWebSettings::JavascriptCanAccessClipboard, false);
}

_WebPage::_WebPage(QObject* parent) : QWebPage(parent) { ConfineRemotePage(this); }

QWebPage* _WebPage::createWindow(WebWindowType) {
    // Each costs a whole page; a script asking in a loop must not fill the process.
    if (_WebView::Count() >= _WebView::kMaxHiddenWindows) {
        qDebug() << "new window refused:" << _WebView::Count()
                 << "hidden windows still wait for their first address";
        return nullptr;
    }
    auto* view = new _WebView(qobject_cast<QWidget*>(parent()), this);
    view->hide();
    return view->page();
}

_WebView::_WebView(QWidget* parent, QWebPage* opener) : QWebView(parent), opener_(opener) {
    ++g_hiddenWindows;
    setAttribute(Qt::WA_DeleteOnClose);
    setPage(new NewWindowPage(this));
    connect(this, &QWebView::urlChanged, this, &_WebView::urlChanged);
    setVisible(false);
    QTimer::singleShot(kFirstNavigationMs, this, [this] {
        if (!handedOn_) close();
    });
}

_WebView::~_WebView() { --g_hiddenWindows; }

int _WebView::Count() { return g_hiddenWindows; }

void _WebView::urlChanged(QUrl url) {
    if (handedOn_) return;
    handedOn_ = true;
    qDebug() << "new window for" << url.toString();
    OpenInBrowserFor(opener_ ? static_cast<QObject*>(opener_.data()) : this, url.toString());
    close();
}

void _WebView::showEvent(QShowEvent* event) { event->ignore(); }
