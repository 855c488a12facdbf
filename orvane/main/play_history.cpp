#include "play_history.h"

#include <algorithm>

namespace {

bool NewerFirst(const QVariantMap& a, const QVariantMap& b) {
    const QString timeA = a.value("watchtime").toString();
    const QString timeB = b.value("watchtime").toString();
    if (timeA != timeB) return timeA > timeB;
    return a.value("url").toString() < b.value("url").toString();
}

}  // namespace

QList<QVariantMap> OrderedHistory(const QVariantMap& history) {
    QList<QVariantMap> records;
    for (const QVariant& value : history) records.append(value.toMap());
    std::stable_sort(records.begin(), records.end(), NewerFirst);
    return records;
}

void InsertIntoHistory(QVariantMap& history, const QVariantMap& record) {
    const QString url = record.value("url").toString();
    history.insert(url, record);
    const QList<QVariantMap> ordered = OrderedHistory(history);
    for (auto it = ordered.crbegin(); it != ordered.crend(); ++it) {
        if (history.size() <= kMaxHistoryRecords) break;
        const QString oldUrl = it->value("url").toString();
        // The record just written stays even when its clock reads earlier than the others.
        if (oldUrl != url) history.remove(oldUrl);
    }
}

QString HistoryDisplayName(const QVariantMap& record) {
    const QString title = record.value("title").toString();
    if (!title.isEmpty()) return title;
    const QString url = record.value("url").toString();
    QString path = url;
    path.replace('/', '\\');
    const QString name = path.mid(path.lastIndexOf('\\') + 1);
    // An address ending in a separator has no last part; a blank entry would tell nothing.
    return name.isEmpty() ? url : name;
}
