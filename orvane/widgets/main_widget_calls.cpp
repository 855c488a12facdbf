#include "main_widget_calls.h"

#include <QPointer>

#include "named_objects.h"
#include "orvane_widget.h"

namespace {

QPointer<QObject>& StandIn() {
    static QPointer<QObject> receiver;
    return receiver;
}

}  // namespace

QObject* MainWidgetObject() {
    if (StandIn()) return StandIn();
    return GetMainWidget();
}

void SetMainWidgetStandInForTesting(QObject* receiver) { StandIn() = receiver; }
