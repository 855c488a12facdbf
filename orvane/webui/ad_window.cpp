#include "ad_window.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QStyle>
#include <QTimerEvent>
#include <QToolButton>
#include <QWebFrame>
#include <QWebView>

#include "app_config.h"
#include "host_queries.h"
#include "js_ext_obj.h"
#include "web_page.h"
#include "window_drag.h"

namespace {

constexpr int kShippedShowDelayMs = 10000;
int g_showDelayMs = kShippedShowDelayMs;

QWidget* BuildHeader(QWidget* parent, const char* context) {
    auto* header = new QWidget(parent);
    header->setObjectName("widget");
    auto* row = new QHBoxLayout(header);
    row->setObjectName("horizontalLayout");
    row->setSpacing(6);
    const QStyle* style = header->style();
    row->setContentsMargins(style->pixelMetric(QStyle::PM_LayoutLeftMargin), 5,
                            style->pixelMetric(QStyle::PM_LayoutRightMargin), 5);

    auto* logo = new QLabel(header);
    logo->setObjectName("label_2");
    logo->setMaximumSize(24, 24);
    logo->setPixmap(QPixmap(":/image/tarsel_64x64.png"));
    logo->setScaledContents(true);
    row->addWidget(logo);

    auto* name = new QLabel(QCoreApplication::translate(context, "Orvane"), header);
    name->setObjectName("label");
    name->setStyleSheet("color:white");
    row->addWidget(name);
    row->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));

    auto* close = new QToolButton(header);
    close->setObjectName("btnClose");
    close->setStyleSheet("border:none;");
    close->setIcon(QIcon(":/image/ico_login_close.png"));
    close->setIconSize(QSize(22, 22));
    row->addWidget(close);
    return header;
}

}  // namespace

void SetAdShowDelayForTesting(int milliseconds) {
    g_showDelayMs = milliseconds > 0 ? milliseconds : kShippedShowDelayMs;
}

AdWindow::AdWindow(const AdWindowKind& kind, QWidget* parent) : QWidget(parent) {
    // Closing an advertisement never ends the program, also while the player's own window is
    // not shown yet.
    setAttribute(Qt::WA_QuitOnClose, false);
    hide();
    if (IsWindowShown(QString::fromUtf8(kind.marker))) {
        close();
        return;
    }
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    BuildForm(kind);
    new WindowDrag(this);
    connect(findChild<QToolButton*>("btnClose"), &QToolButton::clicked, this, &QWidget::close);
    ConnectView();
    LoadOwnPage(view_, QUrl(BaseUrl(QString::fromLatin1(kind.page))));
}

void AdWindow::BuildForm(const AdWindowKind& kind) {
    setObjectName(kind.objectName);
    resize(kind.size);
    setStyleSheet(kind.styleSheet);
    setWindowTitle(QCoreApplication::translate(kind.objectName, kind.marker));

    auto* outer = new QBoxLayout(
        kind.outerLayout == Qt::Vertical ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight, this);
    outer->setObjectName(kind.outerLayout == Qt::Vertical ? "verticalLayout"
                                                          : "horizontalLayout_2");
    outer->setSpacing(0);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* frame = new QFrame(this);
    frame->setObjectName("frame");
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Plain);
    outer->addWidget(frame);

    auto* column = new QVBoxLayout(frame);
    column->setObjectName("verticalLayout_2");
    column->setSpacing(0);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(BuildHeader(frame, kind.objectName));
    view_ = new QWebView(frame);
    view_->setObjectName("adWebView");
    view_->setContextMenuPolicy(Qt::NoContextMenu);
    column->addWidget(view_, 1);
}

void AdWindow::ConnectView() {
    // The page's new windows go to the browser as the show page's do, and it loads no plug-ins.
    view_->setPage(new _WebPage(this));
    QWebPage* page = view_->page();
    QWebFrame* frame = page->mainFrame();
    connect(view_, &QWebView::loadFinished, this, &AdWindow::LoadFinished);
    connect(frame, &QWebFrame::javaScriptWindowObjectCleared, this,
            &AdWindow::JavaScriptWindowObjectCleared);
    page->setLinkDelegationPolicy(QWebPage::DelegateAllLinks);
    connect(view_, &QWebView::linkClicked, this, &AdWindow::LinkClicked);
    frame->setScrollBarPolicy(Qt::Vertical, Qt::ScrollBarAlwaysOff);
    frame->setScrollBarPolicy(Qt::Horizontal, Qt::ScrollBarAlwaysOff);
}

void AdWindow::LoadFinished(bool ok) {
    if (!ok) return;
    PlaceOnLoad();
    // A load that follows another restarts the count; the earlier timer must not live on.
    if (showTimer_ != -1) killTimer(showTimer_);
    showTimer_ = startTimer(g_showDelayMs, Qt::PreciseTimer);
}

void AdWindow::timerEvent(QTimerEvent* event) {
    if (event->timerId() != showTimer_) return;
    killTimer(showTimer_);
    showTimer_ = -1;
    show();
    setFocus();
    activateWindow();
}

void AdWindow::JavaScriptWindowObjectCleared() { AddJsExtObj(view_->page()->mainFrame()); }

void AdWindow::LinkClicked(QUrl url) {
    JsExtObjInstance()->OpenWindowFor(view_->page(), url.toString());
}
