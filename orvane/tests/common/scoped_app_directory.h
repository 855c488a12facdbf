// Points the control's install folder at a folder of the test for the object's lifetime.
#pragma once

#include <string>

#include "app_paths.h"

class ScopedAppDirectory {
public:
    explicit ScopedAppDirectory(const std::string& dir) {
        SetAppDirectoryForTesting(QString::fromStdString(dir));
    }
    ~ScopedAppDirectory() { SetAppDirectoryForTesting(QString()); }
    ScopedAppDirectory(const ScopedAppDirectory&) = delete;
    ScopedAppDirectory& operator=(const ScopedAppDirectory&) = delete;
};
