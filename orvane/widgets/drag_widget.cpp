#include "drag_widget.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "app_paths.h"
#include "main_widget_calls.h"

QDragWidget::QDragWidget(QWidget* parent) : QWidget(parent) { setAcceptDrops(true); }

void QDragWidget::dragEnterEvent(QDragEnterEvent* event) { event->acceptProposedAction(); }

void QDragWidget::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty()) return;
    // Only the first file plays; anything that is not an existing local file is ignored.
    const QString path = urls.first().toLocalFile();
    if (path.isEmpty() || !PathExists(path)) return;
    if (QObject* main = MainWidgetObject())
        QMetaObject::invokeMethod(main, "OpenFile", Qt::DirectConnection, Q_ARG(QString, path));
}
