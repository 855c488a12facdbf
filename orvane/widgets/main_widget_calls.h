// The object that takes the calls the widgets make on the main widget by method name
// ("PlayVideo", "OpenFile"): the main widget, or a stand-in that a test puts in its place.
#pragma once

class QObject;

// Null while there is no main widget and no stand-in.
QObject* MainWidgetObject();

// Routes the calls to `receiver` instead of the main widget; null ends the stand-in.
void SetMainWidgetStandInForTesting(QObject* receiver);
