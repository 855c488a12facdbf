// The main widget's window handling: pages and tabs, maximise, full screen, stay on top, the
// title bar's buttons and taking hold of the frameless window.
#include <QCursor>
#include <QDebug>
#include <QMenu>
#include <QMouseEvent>
#include <QWebFrame>

#include "app_config.h"
#include "js_ext_obj.h"
#include "orvane_widget.h"
#include "player_controller.h"
#include "ui_main_widget_ui.h"
#include "widget_player_view.h"
#include "window_ops.h"

void orvane::Max() { ToggleOwnWindowMaximized(this); }

void orvane::ShowMain() {
    if (!ui_) return;
    // The page first: stopping an advertisement page still loading reports a failed load,
    // which shows the main page only while the advertisement page is shown.
    ui_->stackedWidget->setCurrentWidget(ui_->emptyPage);
    ui_->adWebView->load(QUrl("about:blank"));
}

void orvane::ShowAd(QString url) {
    if (!ui_) return;
    ui_->stackedWidget->setCurrentWidget(ui_->adPage);
    LoadOwnPage(ui_->adWebView, QUrl(url));
}

void orvane::StayOnTop(bool val) { SetOwnWindowOnTop(this, val); }

void orvane::RecordsClicked(bool shrink) {
    if (ui_) ui_->widgetRecords->setVisible(!shrink);
}

void orvane::TrayActivated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::DoubleClick:
        case QSystemTrayIcon::Trigger:
        case QSystemTrayIcon::MiddleClick:
            showNormal();
            activateWindow();
            break;
        case QSystemTrayIcon::Context:
            trayMenu_->popup(QCursor::pos());
            break;
        default:
            break;
    }
}

void orvane::TitleBarClicked() {
    QObject* button = sender();
    if (!ui_ || !button) return;
    if (button == ui_->buttonClose) {
        Bar()->RequestStop();
        close();
    } else if (button == ui_->buttonMenu) {
        mainMenu_->popup(ui_->buttonMenu->mapToGlobal(
            QPoint(ui_->buttonMenu->width(), ui_->buttonMenu->height())));
    } else if (button == ui_->buttonMax || button == ui_->buttonRestore) {
        Max();
    } else if (button == ui_->buttonMin) {
        MinimizeOwnWindow(this);
    }
}

void orvane::MainTabClicked() {
    if (!ui_) return;
    // The show page is loaded afresh at every click on its tab.
    if (sender() == ui_->btnTabShow) ui_->webView->load(QUrl(BaseUrl("get_adlist.html?type=show")));
    SwitchBarPage(sender());
}

void orvane::SwitchBarPage(QObject* obj) {
    for (auto it = tabs_.cbegin(); it != tabs_.cend(); ++it) {
        auto* button = static_cast<QPushButton*>(it.key());
        button->setChecked(it.key() == obj);
        if (it.key() == obj) ui_->stackedWidgetMain->setCurrentWidget(it.value());
    }
}

void orvane::JavaScriptWindowObjectCleared() { AddJsExtObj(ui_->adWebView->page()->mainFrame()); }

void orvane::LinkClicked(QUrl url) {
    JsExtObjInstance()->OpenWindowFor(ui_->webView->page(), url.toString());
}

void orvane::LoadFinished(bool ok) {
    // A failed advertisement page falls back to the main page; one stopped because a play
    // replaced it leaves that play in view.
    if (!ok && ui_ && ui_->stackedWidget->currentWidget() == ui_->adPage) ShowMain();
}

void orvane::WebLoaded(bool) {
    if (sender()) disconnect(sender(), SIGNAL(loadFinished(bool)), this, nullptr);
}

void orvane::ShowFullScreen() {
    // Inside another program's window the picture stays where that program put it.
    if (!OwnTopWindow(this)) return;
    setWindowFlags(Qt::Window);
    showFullScreen();
    if (playerView_) playerView_->setFocus();
}

void orvane::ShowNormal() {
    if (!OwnTopWindow(this)) return;
    setWindowFlags(Qt::SubWindow);
    showNormal();
}

void orvane::ShowScreenMenu(bool) {}

void orvane::ShowScreenMenu() { ShowScreenMenu(false); }

void orvane::SwitchToWebPage() {}

void orvane::ShowWindowControls() {
    if (!ui_) return;
    windowControls_ = true;
    Bar()->ShowRecordsButton();
    // The panel stays shrunk away until the button opens it.
    Bar()->CheckRecords();
    WindowStateChanged(isFullScreen() ? Qt::WindowFullScreen : window()->windowState());
}

void orvane::WindowStateChanged(Qt::WindowStates state) {
    if (!ui_) return;
    if (state & Qt::WindowMaximized) {
        Bar()->show();
        ui_->buttonMax->hide();
        ui_->buttonRestore->show();
    } else if (state & Qt::WindowFullScreen) {
        ui_->titleWidget->hide();
        Bar()->CheckRecords();
        return;
    } else {
        Bar()->show();
        ui_->buttonRestore->hide();
        ui_->buttonMax->show();
    }
    if (windowControls_) ui_->titleWidget->show();
}

bool orvane::IsInDragArea() {
    // In this widget's own coordinates, wherever the widget sits on the screen.
    return InDragArea(mapFromGlobal(QCursor::pos()), size(), IsOwnWindowMaximized(this));
}

void orvane::mousePressEvent(QMouseEvent* event) {
    QWidget* top = OwnTopWindow(this);
    if (event->button() != Qt::LeftButton || !top || isFullScreen() ||
        !InDragArea(event->pos(), size(), top->isMaximized())) {
        QWidget::mousePressEvent(event);
        return;
    }
    // The edge bands resize a window that is not maximised; the title strip moves it.
    mover_.Press(top, top->isMaximized() ? 0 : DragEdges(event->pos(), size()), event->globalPos());
    event->accept();
}

void orvane::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton) || !mover_.Move(event->globalPos()))
        QWidget::mouseMoveEvent(event);
}

void orvane::mouseReleaseEvent(QMouseEvent* event) {
    mover_.Release();
    QWidget::mouseReleaseEvent(event);
}
