// Single registry values addressed by a full key path ("HKEY_CURRENT_USER\Software\...").
// The value name "." (or "") names the key's default value.
#pragma once

#include <QString>
#include <QVariant>

// Whole numbers are stored as numbers, everything else as text. True when written (inside a
// registry transaction: when made in memory).
bool RegistryWrite(const QString& keyPath, const QString& name, const QVariant& value);
QVariant RegistryRead(const QString& keyPath, const QString& name,
                      const QVariant& defaultValue = QVariant());
void RegistryRemove(const QString& keyPath, const QString& name);
