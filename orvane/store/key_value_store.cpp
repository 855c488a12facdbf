#include "key_value_store.h"

#include <QDataStream>
#include <QDebug>
#include <QFileInfo>
#include <QIODevice>
#include <QSqlError>
#include <QSqlQuery>

#include "app_config.h"

const char kKeyValueStoreFileName[] = "12b6af440cf94231be23542fea7a3599.db";

namespace {

const char kCreateTable[] =
    "CREATE TABLE [KeyValue] ([key] CHAR(32), [value] BLOB, CONSTRAINT [] PRIMARY KEY "
    "([key]));";

bool Run(QSqlQuery& query) {
    if (query.exec()) return true;
    qDebug() << query.lastError().text();
    return false;
}

// A file that exists but lacks the table (an empty or half-made file) gets it, so such a
// file does not disable the store for good.
bool EnsureTable(QSqlDatabase& db) {
    if (db.tables().contains(QStringLiteral("KeyValue"), Qt::CaseInsensitive)) return true;
    db.transaction();
    QSqlQuery query(db);
    if (!query.exec(QString::fromLatin1(kCreateTable))) qDebug() << query.lastError().text();
    if (db.commit()) return true;
    qDebug() << db.lastError().text();
    db.rollback();
    return false;
}

QByteArray Serialise(const QVariant& value) {
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << value;
    return bytes;
}

}  // namespace

bool OpenDatabase(QSqlDatabase& db) {
    const QString connection = QString::fromLatin1(QSqlDatabase::defaultConnection);
    db = QSqlDatabase::contains(connection) ? QSqlDatabase::database(connection, false)
                                            : QSqlDatabase::addDatabase("QSQLITE");
    const QString path = DataDirPath(kKeyValueStoreFileName);
    if (!db.isOpen() || db.databaseName() != path) {
        db.setDatabaseName(path);
        if (!db.open()) {
            qDebug() << db.lastError().text();
            return false;
        }
    }
    return EnsureTable(db);
}

void DbSetValue(const QString& key, const QVariant& value) {
    QSqlDatabase db;
    if (!OpenDatabase(db)) return;
    db.transaction();
    QSqlQuery remove(db);
    remove.prepare("delete from KeyValue where key = :key");
    remove.bindValue(":key", key);
    Run(remove);
    QSqlQuery insert(db);
    insert.prepare("insert into KeyValue ( key, value) values ( :key, :value)");
    insert.bindValue(":key", key);
    insert.bindValue(":value", Serialise(value));
    // Without the new row the delete must not stand either: the old value survives.
    if (!Run(insert)) {
        db.rollback();
        return;
    }
    if (!db.commit()) {
        qDebug() << db.lastError().text();
        db.rollback();
    }
}

QVariant DbValue(const QString& key) {
    QSqlDatabase db;
    if (!OpenDatabase(db)) return {};
    QSqlQuery query(db);
    query.prepare("select value from KeyValue where key = :key");
    query.bindValue(":key", key);
    Run(query);
    if (!query.first()) return {};
    const QByteArray bytes = query.value("value").toByteArray();
    QDataStream stream(bytes);
    QVariant value;
    stream >> value;
    return value;
}

bool DbContains(const QString& key) {
    QSqlDatabase db;
    if (!OpenDatabase(db)) return false;
    QSqlQuery query(db);
    query.prepare("select key from KeyValue where key = :key");
    query.bindValue(":key", key);
    Run(query);
    return query.first();
}

void DbRemove(const QString& key) {
    QSqlDatabase db;
    if (!OpenDatabase(db)) return;
    QSqlQuery query(db);
    query.prepare("delete from KeyValue where key = :key");
    query.bindValue(":key", key);
    Run(query);
}
