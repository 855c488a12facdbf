#include "app_paths.h"

#include <QFileInfo>

#include "platform/drives.h"
#include "platform/paths.h"
#include "platform/user_files.h"

namespace {

// Any object of this library tells dladdr() which file the library was loaded from.
const char g_moduleAnchor = 0;

QString& AppDirectoryOverride() {
    static QString dir;
    return dir;
}

QString AppDirectory() {
    if (!AppDirectoryOverride().isEmpty()) return AppDirectoryOverride();
    return QString::fromStdString(platform::ModuleDirectory(&g_moduleAnchor));
}

}  // namespace

QString AppFilePath(const QString& name) {
    return QString::fromStdString(platform::FileToRead(
        AppDirectory().toStdString(), platform::LinuxFileName(name.toStdString())));
}

QString AppWritePath(const QString& name) {
    return QString::fromStdString(platform::FileToWrite(
        AppDirectory().toStdString(), platform::LinuxFileName(name.toStdString())));
}

QString PathJoin(const QString& a, const QString& b) {
    return QString::fromStdString(platform::PathAppend(a.toStdString(), b.toStdString()));
}

bool PathExists(const QString& path) { return !path.isEmpty() && QFileInfo::exists(path); }

void MakePath(const QString& path) { platform::MakeDirectories(path.toStdString()); }

QString HostExePath() { return QString::fromStdString(platform::ExecutablePath()); }

QString HostExeName() {
    return QString::fromStdString(platform::FileNamePart(platform::ExecutablePath()));
}

QString LargestFixedDrive() {
    std::uint64_t best = 0;
    QString root;
    for (const platform::Drive& drive : platform::FixedDrives()) {
        if (drive.totalBytes == 0 || drive.totalBytes < best) continue;
        best = drive.totalBytes;
        root = QString::fromStdString(drive.root);
    }
    if (!root.isEmpty() && !root.endsWith('/')) root += '/';
    return root;
}

void SetAppDirectoryForTesting(const QString& dir) { AppDirectoryOverride() = dir; }
