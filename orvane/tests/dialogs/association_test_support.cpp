#include "association_test_support.h"

#include "platform/registry.h"
#include "registry_values.h"

QString AssociationTest::Value(const QString& keyPath, const QString& name) {
    const QVariant value = RegistryRead(keyPath, name);
    return value.isValid() ? value.toString() : QString("<absent>");
}

bool AssociationTest::KeyExists(const QString& path) {
    platform::Hive hive;
    std::string key;
    return platform::ParseRegistryPath(path.toStdString(), hive, key) &&
           platform::RegistryKeyExists(hive, key);
}
