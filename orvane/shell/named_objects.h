// The process-wide named-object registry and the main-widget pointer, through which the
// control's parts reach each other by name.
#pragma once

#include <QObject>
#include <QString>

class orvane;

// Inserts or replaces name -> object.
void RegisterNamedObject(const QString& name, QObject* object);
// The registered object; null when absent or already destroyed.
QObject* FindNamedObject(const QString& name);

void SetMainWidget(orvane* widget);
// Null before the main widget exists and after it was destroyed.
orvane* GetMainWidget();
