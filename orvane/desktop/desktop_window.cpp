#include "desktop_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QHBoxLayout>
#include <QIcon>
#include <QPointer>
#include <QTimer>

#include "ax_wrap_widget.h"
#include "orvane_widget.h"

DesktopWindow::DesktopWindow() : control_(new AXWrapWidget(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(control_);
    setWindowTitle(MainWidget()->windowTitle());
    setWindowIcon(QIcon(QStringLiteral(":/image/tarsel_64x64.png")));
    resize(MainWidget()->size());
    // This window is the player's own: its menus and the history are reached from the form.
    MainWidget()->ShowWindowControls();
    MainWidget()->installEventFilter(this);
}

orvane* DesktopWindow::MainWidget() const { return control_->mainWidget(); }

void DesktopWindow::Play(const QVariantMap& request) {
    if (!QMetaObject::invokeMethod(MainWidget(), "PlayVideo", Qt::QueuedConnection,
                                   Q_ARG(QVariantMap, request)))
        qWarning() << "the player takes no play request";
}

void DesktopWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    // The program ends with this window, whatever other windows of the player are shown (the
    // loading overlay, the picture in full screen).
    QCoreApplication::quit();
}

bool DesktopWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == MainWidget() && event->type() == QEvent::Close) {
        // Whether the close went ahead is known once the main widget has handled it.
        QPointer<QWidget> main(MainWidget());
        QTimer::singleShot(0, this, [this, main] {
            if (!main || !main->isVisible()) close();
        });
    }
    return QWidget::eventFilter(watched, event);
}
