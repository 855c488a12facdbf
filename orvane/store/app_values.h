// The process-wide value map that every part of the control reads and writes.
#pragma once

#include <QString>
#include <QVariant>

void SetAppValue(const QString& key, const QVariant& value);
// The key's value; an absent key is inserted with an invalid value, which is answered.
QVariant AppValue(const QString& key);
bool HasAppValue(const QString& key);
void RemoveAppValue(const QString& key);
