#include "activex/factory.h"

#include <QMetaClassInfo>
#include <QMetaObject>

namespace ax {

namespace {

std::optional<com::GUID> GuidInfo(const QString& text) {
    if (text.isEmpty()) return std::nullopt;
    return com::ParseGuid(text.toStdString());
}

}  // namespace

Factory::~Factory() = default;

void Factory::registerClass(const QString&, platform::Hive) const {}
void Factory::unregisterClass(const QString&, platform::Hive) const {}

QString Factory::classInfo(const QString& key, const char* name) const {
    const QMetaObject* mo = metaObject(key);
    if (!mo) return {};
    const int index = mo->indexOfClassInfo(name);
    return index < 0 ? QString() : QString::fromLatin1(mo->classInfo(index).value());
}

QString Factory::exposeToSuperClass(const QString& key) const {
    const QMetaObject* mo = metaObject(key);
    if (!mo) return {};
    const QString info = classInfo(key, "ToSuperClass");
    return info.isEmpty() ? QString::fromLatin1(mo->className()) : info;
}

bool Factory::stayTopLevel(const QString& key) const {
    return classInfo(key, "StayTopLevel") == QLatin1String("yes");
}

bool Factory::hasStockEvents(const QString& key) const {
    return classInfo(key, "StockEvents") == QLatin1String("yes");
}

std::optional<com::CLSID> Factory::classID(const QString& key) const {
    return GuidInfo(classInfo(key, "ClassID"));
}

std::optional<com::IID> Factory::interfaceID(const QString& key) const {
    return GuidInfo(classInfo(key, "InterfaceID"));
}

}  // namespace ax
