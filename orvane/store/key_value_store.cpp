#include "key_value_store.h"

#include <QDataStream>
#include <QDebug>
#include <QFileInfo>
#include <QIODevice>
#include <QSqlError>
#include <QSqlQuery>
#include <functional>

#include "app_config.h"

const char kKeyValueStoreFileName[] = "12b6af440cf94231be23542fea7a3599.db";

namespace {

// "IF NOT EXISTS": another process may create the table between our look and our statement;
// the schema it leaves is the same.
const char kCreateTable[] =
    "CREATE TABLE IF NOT EXISTS [KeyValue] ([key] CHAR(32), [value] BLOB, CONSTRAINT [] "
    "PRIMARY KEY ([key]));";

// How long a change waits while another process writes the store.
constexpr int kBusyTimeoutMs = 10000;

bool Run(QSqlQuery& query) {
    if (query.exec()) return true;
    qDebug() << query.lastError().text();
    return false;
}

bool Run(QSqlDatabase& db, const char* statement) {
    QSqlQuery query(db);
    if (query.exec(QString::fromLatin1(statement))) return true;
    qDebug() << statement << query.lastError().text();
    return false;
}

// Runs `work` in one write transaction. BEGIN IMMEDIATE takes the store's write lock at the
// start (waiting up to the busy time-out), so a read-modify-write of another process cannot
// come between this one's read and its write, and no two writers deadlock on upgrading a read.
bool InWriteTransaction(QSqlDatabase& db, const std::function<bool()>& work) {
    if (!Run(db, "BEGIN IMMEDIATE")) return false;
    if (work() && Run(db, "COMMIT")) return true;
    Run(db, "ROLLBACK");
    return false;
}

// A file that exists but lacks the table (an empty or half-made file) gets it, so such a
// file does not disable the store for good.
bool EnsureTable(QSqlDatabase& db) {
    if (db.tables().contains(QStringLiteral("KeyValue"), Qt::CaseInsensitive)) return true;
    return InWriteTransaction(db, [&] { return Run(db, kCreateTable); });
}

bool Replace(QSqlDatabase& db, const QString& key, const QByteArray& bytes) {
    QSqlQuery remove(db);
    remove.prepare("delete from KeyValue where key = :key");
    remove.bindValue(":key", key);
    QSqlQuery insert(db);
    insert.prepare("insert into KeyValue ( key, value) values ( :key, :value)");
    insert.bindValue(":key", key);
    insert.bindValue(":value", bytes);
    // Without the new row the delete must not stand either: the old value survives.
    return Run(remove) && Run(insert);
}

QVariant Read(QSqlDatabase& db, const QString& key) {
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
        db.setConnectOptions(QString("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
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
    InWriteTransaction(db, [&] { return Replace(db, key, Serialise(value)); });
}

void DbSetValues(const QList<QPair<QString, QVariant>>& values) {
    QSqlDatabase db;
    if (!OpenDatabase(db)) return;
    InWriteTransaction(db, [&] {
        for (const auto& [key, value] : values)
            if (!Replace(db, key, Serialise(value))) return false;
        return true;
    });
}

bool DbUpdateValue(const QString& key, const std::function<QVariant(const QVariant&)>& change) {
    QSqlDatabase db;
    if (!OpenDatabase(db)) return false;
    return InWriteTransaction(db,
                              [&] { return Replace(db, key, Serialise(change(Read(db, key)))); });
}

QVariant DbValue(const QString& key) {
    QSqlDatabase db;
    if (!OpenDatabase(db)) return {};
    return Read(db, key);
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
    InWriteTransaction(db, [&] {
        QSqlQuery query(db);
        query.prepare("delete from KeyValue where key = :key");
        query.bindValue(":key", key);
        return Run(query);
    });
}
