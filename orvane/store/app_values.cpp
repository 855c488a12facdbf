#include "app_values.h"

#include <QMap>

namespace {

QMap<QString, QVariant>& Values() {
    static QMap<QString, QVariant> values;
    return values;
}

}  // namespace

void SetAppValue(const QString& key, const QVariant& value) { Values().insert(key, value); }

QVariant AppValue(const QString& key) { return Values()[key]; }

bool HasAppValue(const QString& key) { return Values().contains(key); }

void RemoveAppValue(const QString& key) { Values().remove(key); }
