// The factory of a control library: per class key the factory of that class, with the type
// library and application ids of the library. Every per-key call forwards to the class's
// factory and answers empty, null or false for an unknown key.
#pragma once

#include <QByteArray>
#include <QMetaType>
#include <map>
#include <memory>

#include "activex/class.h"

namespace ax {

class FactoryList : public Factory {
public:
    FactoryList(const com::GUID& typeLibId, const com::GUID& appId);

    // Adds T's factory and registers the meta type "T*".
    template <class T>
    FactoryList& addClass() {
        qRegisterMetaType<T*>(QByteArray(T::staticMetaObject.className()) + '*');
        return add(std::make_unique<Class<T>>());
    }
    // Adds a factory under each key of its featureList (a later key of the same name wins).
    FactoryList& add(std::unique_ptr<Factory> factory);

    QStringList featureList() const override;
    QObject* createObject(const QString& key) override;
    const QMetaObject* metaObject(const QString& key) const override;
    void registerClass(const QString& key, platform::Hive hive) const override;
    void unregisterClass(const QString& key, platform::Hive hive) const override;
    QString exposeToSuperClass(const QString& key) const override;
    bool stayTopLevel(const QString& key) const override;
    bool hasStockEvents(const QString& key) const override;

    const com::GUID& typeLibID() const { return typeLib_; }
    const com::GUID& appID() const { return appId_; }

private:
    Factory* find(const QString& key) const;

    com::GUID typeLib_;
    com::GUID appId_;
    std::map<QString, std::shared_ptr<Factory>> factories_;
};

}  // namespace ax
