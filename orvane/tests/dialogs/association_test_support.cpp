#include "association_test_support.h"

#include <sys/stat.h>

#include <filesystem>

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

AssociationTest::RegistryWritesBlocked::RegistryWritesBlocked() {
    const std::string folder = platform::RegistryDirectory();
    std::filesystem::create_directories(folder);
    std::filesystem::remove(folder + "/.lock");
    std::filesystem::create_directory(folder + "/.lock");
    ::chmod(folder.c_str(), 0500);
}

AssociationTest::RegistryWritesBlocked::~RegistryWritesBlocked() {
    const std::string folder = platform::RegistryDirectory();
    ::chmod(folder.c_str(), 0700);
    std::filesystem::remove(folder + "/.lock");
}
