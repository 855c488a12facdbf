#include "registry_values.h"

#include <QDebug>
#include <limits>

#include "platform/registry.h"

namespace {

struct Location {
    platform::Hive hive = platform::Hive::CurrentUser;
    std::string key;
    std::string name;
};

bool Locate(const QString& keyPath, const QString& name, Location& where) {
    if (!platform::ParseRegistryPath(keyPath.toStdString(), where.hive, where.key)) {
        qDebug() << "not a registry path:" << keyPath;
        return false;
    }
    where.name = name == "." ? std::string() : name.toStdString();
    return true;
}

bool IsWholeNumber(const QVariant& value) {
    switch (value.userType()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Long:
        case QMetaType::ULong:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool RegistryWrite(const QString& keyPath, const QString& name, const QVariant& value) {
    Location where;
    if (!Locate(keyPath, name, where)) return false;
    const platform::RegistryValue stored =
        IsWholeNumber(value) ? platform::RegistryValue(std::int64_t(value.toLongLong()))
                             : platform::RegistryValue(value.toString().toStdString());
    if (platform::RegistrySetValue(where.hive, where.key, where.name, stored)) return true;
    qDebug() << "cannot write registry value" << keyPath << name;
    return false;
}

QVariant RegistryRead(const QString& keyPath, const QString& name, const QVariant& defaultValue) {
    Location where;
    if (!Locate(keyPath, name, where)) return defaultValue;
    const auto value = platform::RegistryGetValue(where.hive, where.key, where.name);
    if (!value) return defaultValue;
    if (const auto* text = std::get_if<std::string>(&*value)) return QString::fromStdString(*text);
    const std::int64_t number = std::get<std::int64_t>(*value);
    if (number >= std::numeric_limits<int>::min() && number <= std::numeric_limits<int>::max())
        return int(number);
    return qlonglong(number);
}

void RegistryRemove(const QString& keyPath, const QString& name) {
    Location where;
    if (Locate(keyPath, name, where))
        platform::RegistryDeleteValue(where.hive, where.key, where.name);
}
