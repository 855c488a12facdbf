// The control's persistent key-value store: one SQLite table in the data folder whose
// values are variants in Qt's data-stream form.
#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariant>

// The store's file name in the data folder.
extern const char kKeyValueStoreFileName[];

// Opens the store on Qt's default connection, creating the file and its table when missing.
bool OpenDatabase(QSqlDatabase& db);

// Replaces the key's row; the old value stays when the new one cannot be written.
void DbSetValue(const QString& key, const QVariant& value);
// The stored value; invalid when the key is missing or the store cannot be opened.
QVariant DbValue(const QString& key);
bool DbContains(const QString& key);
void DbRemove(const QString& key);
