#include "web_page.h"

#include <QDebug>
#include <QShowEvent>
#include <QTimer>
#include <QWebFrame>
#include <QWebSettings>

#include "host_queries.h"

namespace {

// The page of a new window: its first navigation request is the address the window was
// opened for.
class NewWindowPage : public QWebPage {
public:
    NewWindowPage(_WebView* view) : QWebPage(view), view_(view) { KeepPluginsOff(this); }

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

}  // namespace

void KeepPluginsOff(QWebPage* page) {
    if (page) page->settings()->setAttribute(QWebSettings::PluginsEnabled, false);
}

_WebPage::_WebPage(QObject* parent) : QWebPage(parent) { KeepPluginsOff(this); }

QWebPage* _WebPage::createWindow(WebWindowType) {
    auto* view = new _WebView(qobject_cast<QWidget*>(parent()));
    view->hide();
    return view->page();
}

_WebView::_WebView(QWidget* parent) : QWebView(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setPage(new NewWindowPage(this));
    connect(this, &QWebView::urlChanged, this, &_WebView::urlChanged);
    setVisible(false);
}

void _WebView::urlChanged(QUrl url) {
    if (handedOn_) return;
    handedOn_ = true;
    qDebug() << "new window for" << url.toString();
    OpenUrlInBrowser(url.toString());
    close();
}

void _WebView::showEvent(QShowEvent* event) { event->ignore(); }
