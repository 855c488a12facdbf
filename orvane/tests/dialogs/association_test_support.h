// What the association tests share: a registry, XDG folders and an install folder of their
// own in a temporary folder, and short ways to look at registry values.
#pragma once

#include <gtest/gtest.h>

#include <QString>

#include "scoped_app_directory.h"
#include "testsupport/temp_dir.h"

class AssociationTest : public ::testing::Test {
protected:
    testsupport::TempDir temp;
    testsupport::ScopedEnv config{"XDG_CONFIG_HOME", temp.file("xdgconfig")};
    testsupport::ScopedEnv data{"XDG_DATA_HOME", temp.file("xdgdata")};
    ScopedAppDirectory app{temp.file("bin")};

    // The value as text, or "<absent>".
    static QString Value(const QString& keyPath, const QString& name = ".");
    // `path` is "HKEY_CURRENT_USER\..." or "HKEY_LOCAL_MACHINE\...".
    static bool KeyExists(const QString& path);

    // Makes the registry readable but not writable until the object goes: its folder is
    // read-only and its lock file is a folder, which no one can lock (root writes into a
    // read-only folder, so the lock is what stops every user alike).
    class RegistryWritesBlocked {
    public:
        RegistryWritesBlocked();
        ~RegistryWritesBlocked();
        RegistryWritesBlocked(const RegistryWritesBlocked&) = delete;
        RegistryWritesBlocked& operator=(const RegistryWritesBlocked&) = delete;
    };
};
