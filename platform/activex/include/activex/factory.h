// What the layer asks of the factory of exposed widget classes, per class key (the class
// name). The defaults read the class infos of metaObject(key): "ClassID", "InterfaceID",
// "ToSuperClass", "StayTopLevel" ("yes"), "StockEvents" ("yes").
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "com/guid.h"
#include "platform/registry.h"

class QMetaObject;
class QObject;

namespace ax {

class Factory {
public:
    virtual ~Factory();

    virtual QStringList featureList() const = 0;
    // A new object (no parent) that the caller owns; null for an unknown or uncreatable key.
    virtual QObject* createObject(const QString& key) = 0;
    virtual const QMetaObject* metaObject(const QString& key) const = 0;

    // Extra registry entries of a class, under Software\Classes of `hive`; none by default.
    virtual void registerClass(const QString& key, platform::Hive hive) const;
    virtual void unregisterClass(const QString& key, platform::Hive hive) const;
    // The class up to which members are exposed: "ToSuperClass" or the class itself.
    virtual QString exposeToSuperClass(const QString& key) const;
    virtual bool stayTopLevel(const QString& key) const;
    virtual bool hasStockEvents(const QString& key) const;

    std::optional<com::CLSID> classID(const QString& key) const;
    std::optional<com::IID> interfaceID(const QString& key) const;

protected:
    // The class info `name` of `key`'s meta-object; empty when absent.
    QString classInfo(const QString& key, const char* name) const;
};

}  // namespace ax
