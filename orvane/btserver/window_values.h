// What the pipe keeps per browser window ("win" text -> URL or play state), bounded: a
// window's new value replaces its old one, and past a fixed number of windows the one left
// alone longest is forgotten, so a flood of distinct windows cannot grow the BT server.
#pragma once

#include <QHash>
#include <QString>
#include <list>
#include <utility>

class WindowValues {
public:
    // Enough for every player page a user keeps open; windows gone long ago age out.
    static constexpr int kMaxWindows = 64;

    explicit WindowValues(int maxWindows = kMaxWindows);

    void Set(const QString& window, const QString& value);
    // "" for a window never set or forgotten. Asking keeps a window fresh (the host program
    // asks about its window every second), but asking about an unknown one stores nothing.
    QString Get(const QString& window);
    int Count() const { return static_cast<int>(m_order.size()); }

private:
    using Entry = std::pair<QString, QString>;  // window, value
    void Touch(std::list<Entry>::iterator entry);

    int m_maxWindows;
    std::list<Entry> m_order;  // least recently used first
    QHash<QString, std::list<Entry>::iterator> m_index;
};
