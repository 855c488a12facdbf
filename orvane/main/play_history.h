// The play history as stored: a map from URL to its record {"url", "type", "watchtime",
// "pos", "title"}, where "watchtime" ("yyyy-MM-dd hh:mm:ss.zzz") orders the records in time.
// Plain functions on that map, with no widgets.
#pragma once

#include <QList>
#include <QString>
#include <QVariantMap>

// The most records the history keeps.
constexpr int kMaxHistoryRecords = 50;

// Every record, newest first; records watched at the same time are ordered by URL, so none
// of them is hidden.
QList<QVariantMap> OrderedHistory(const QVariantMap& history);

// Puts `record` under its URL, replacing an older record of that URL, then drops the oldest
// other records while the history holds more than kMaxHistoryRecords.
void InsertIntoHistory(QVariantMap& history, const QVariantMap& record);

// What the list shows for a record: its title, else the last part of its URL after a slash
// or backslash, else the whole URL.
QString HistoryDisplayName(const QVariantMap& record);
