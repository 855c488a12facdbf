// The object that takes the calls the widgets make on the main widget by method name
// ("PlayVideo", "OpenFile", "ShowMain"): the main widget, or a stand-in that a test puts in
// its place.
#pragma once

#include <QGenericArgument>
#include <Qt>

class QObject;

// Null while there is no main widget and no stand-in.
QObject* MainWidgetObject();

// Routes the calls to `receiver` instead of the main widget; null ends the stand-in.
void SetMainWidgetStandInForTesting(QObject* receiver);

// Calls the main widget's method `method` by name, at once (direct) or later (queued);
// nothing when there is no main widget.
void CallMainWidget(const char* method, Qt::ConnectionType type,
                    QGenericArgument argument = QGenericArgument(nullptr));

// The main widget's window state; false without a main widget.
bool MainWidgetIsFullScreen();
bool MainWidgetIsMinimized();
