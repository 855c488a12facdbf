#include "named_objects.h"

#include <QMap>
#include <QPointer>

#include "orvane_widget.h"

namespace {

// Guarded pointers: a part that is gone reads as null instead of leaving a dangling target
// for the queued calls made by name.
QMap<QString, QPointer<QObject>>& NamedObjects() {
    static QMap<QString, QPointer<QObject>> objects;
    return objects;
}

QPointer<orvane>& MainWidget() {
    static QPointer<orvane> widget;
    return widget;
}

}  // namespace

void RegisterNamedObject(const QString& name, QObject* object) { NamedObjects()[name] = object; }

QObject* FindNamedObject(const QString& name) { return NamedObjects().value(name); }

void SetMainWidget(orvane* widget) { MainWidget() = widget; }

orvane* GetMainWidget() { return MainWidget(); }
