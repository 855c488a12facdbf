#include "activex/factory_list.h"

namespace ax {

FactoryList::FactoryList(const com::GUID& typeLibId, const com::GUID& appId)
    : typeLib_(typeLibId), appId_(appId) {}

FactoryList& FactoryList::add(std::unique_ptr<Factory> factory) {
    std::shared_ptr<Factory> shared(std::move(factory));
    for (const QString& key : shared->featureList()) factories_[key] = shared;
    return *this;
}

Factory* FactoryList::find(const QString& key) const {
    auto it = factories_.find(key);
    return it == factories_.end() ? nullptr : it->second.get();
}

QStringList FactoryList::featureList() const {
    QStringList keys;
    for (const auto& entry : factories_) keys << entry.first;
    return keys;
}

QObject* FactoryList::createObject(const QString& key) {
    Factory* f = find(key);
    return f ? f->createObject(key) : nullptr;
}

const QMetaObject* FactoryList::metaObject(const QString& key) const {
    Factory* f = find(key);
    return f ? f->metaObject(key) : nullptr;
}

void FactoryList::registerClass(const QString& key, platform::Hive hive) const {
    if (Factory* f = find(key)) f->registerClass(key, hive);
}

void FactoryList::unregisterClass(const QString& key, platform::Hive hive) const {
    if (Factory* f = find(key)) f->unregisterClass(key, hive);
}

QString FactoryList::exposeToSuperClass(const QString& key) const {
    Factory* f = find(key);
    return f ? f->exposeToSuperClass(key) : QString();
}

bool FactoryList::stayTopLevel(const QString& key) const {
    Factory* f = find(key);
    return f && f->stayTopLevel(key);
}

bool FactoryList::hasStockEvents(const QString& key) const {
    Factory* f = find(key);
    return f && f->hasStockEvents(key);
}

}  // namespace ax
