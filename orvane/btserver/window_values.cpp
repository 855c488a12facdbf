#include "window_values.h"

WindowValues::WindowValues(int maxWindows) : m_maxWindows(qMax(1, maxWindows)) {}

void WindowValues::Set(const QString& window, const QString& value) {
    const auto found = m_index.find(window);
    if (found != m_index.end()) {
        found.value()->second = value;
        Touch(found.value());
        return;
    }
    if (Count() >= m_maxWindows) {
        m_index.remove(m_order.front().first);
        m_order.pop_front();
    }
    m_order.emplace_back(window, value);
    m_index.insert(window, std::prev(m_order.end()));
}

QString WindowValues::Get(const QString& window) {
    const auto found = m_index.find(window);
    if (found == m_index.end()) return QString();
    Touch(found.value());
    return found.value()->second;
}

void WindowValues::Touch(std::list<Entry>::iterator entry) {
    m_order.splice(m_order.end(), m_order, entry);
}
