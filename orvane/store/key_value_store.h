// The control's persistent key-value store: one SQLite table in the data folder whose
// values are variants in Qt's data-stream form. Several processes share it; every change is a
// write transaction that waits (bounded) while another process writes.
#pragma once

#include <QList>
#include <QPair>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <functional>

// The store's file name in the data folder.
extern const char kKeyValueStoreFileName[];

// Opens the store on Qt's default connection, creating the file and its table when missing.
bool OpenDatabase(QSqlDatabase& db);

// Replaces the key's row; the old value stays when the new one cannot be written.
void DbSetValue(const QString& key, const QVariant& value);
// Replaces the rows of all `values` (key, value) in one write transaction: all or none.
void DbSetValues(const QList<QPair<QString, QVariant>>& values);
// Reads the key's value (invalid when missing), lets `change` make the new one from it and
// writes that, all in one write transaction of the store: changes of other processes wait for
// it and it for them, so concurrent changes merge instead of one overwriting the other. False
// (nothing written) when the store cannot be opened or written.
bool DbUpdateValue(const QString& key, const std::function<QVariant(const QVariant&)>& change);
// The stored value; invalid when the key is missing or the store cannot be opened.
QVariant DbValue(const QString& key);
bool DbContains(const QString& key);
void DbRemove(const QString& key);
