#include "app_config.h"

#include <QFileInfo>
#include <QUrl>

#include "app_paths.h"
#include "platform/ini_file.h"
#include "platform/paths.h"

namespace {

const char kDefaultBaseUrl[] = "http://127.0.0.1:8600/Orvane/";

// Read from the user's copy, or the shipped one; written to the user's copy.
QString PathIni() { return AppFilePath("ini\\path.ini"); }
QString PathIniToWrite() { return AppWritePath("ini\\path.ini"); }

bool IsFolder(const QString& path) { return !path.isEmpty() && QFileInfo(path).isDir(); }

QString UserCacheFolder() {
    return PathJoin(QString::fromStdString(platform::UserCacheDir()), "orvane");
}

// The largest local file system's root holds "orvane" unless that root is the system's own:
// a player running as root must not litter "/" with media.
QString PreferredCacheFolder() {
    const QString root = LargestFixedDrive();
    if (root.isEmpty() || QFileInfo(root).canonicalFilePath() == QLatin1String("/"))
        return UserCacheFolder();
    return PathJoin(root, "orvane");
}

// The preferred folder, made; when it cannot be made (its root is often not writable on this
// platform) the user's cache folder stands in.
QString DefaultCacheFolder() {
    const QString folder = PreferredCacheFolder();
    MakePath(folder);
    if (IsFolder(folder)) return folder;
    const QString fallback = UserCacheFolder();
    MakePath(fallback);
    return fallback;
}

}  // namespace

QString DataDirPath(const QString& name) {
    const QString folder = AppWritePath("..\\data");
    if (!IsFolder(folder)) MakePath(folder);
    return PathJoin(folder, name);
}

QString BaseUrl(const QString& relative) {
    QString base = QString::fromStdString(platform::IniReadString(
        AppFilePath("..\\cfg\\config.ini").toStdString(), "param", "baseurl", ""));
    if (base.isEmpty()) base = QString::fromLatin1(kDefaultBaseUrl);
    if (!base.endsWith('/')) base += '/';
    return base + relative;
}

QString DefaultCacheFolderPath() { return PreferredCacheFolder(); }

QString ResolveServiceOrigin() {
    QString url = QString::fromStdString(platform::IniReadString(
        AppFilePath("..\\cfg\\config.ini").toStdString(), "param", "resolveurl", ""));
    if (url.isEmpty()) url = BaseUrl(QString());
    // Only the host is configured: the service's path is fixed.
    return QUrl(url)
        .adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment |
                  QUrl::RemoveUserInfo)
        .toString();
}

QString CacheSavePath(const QString& subPath) {
    const QString saved = QString::fromStdString(
        platform::IniReadString(PathIni().toStdString(), "AppSetting", "savePath", ""));
    if (IsFolder(saved)) return PathJoin(saved, subPath);
    // The folder is what gets recorded, not the caller's path below it.
    const QString folder = DefaultCacheFolder();
    platform::IniWriteString(PathIniToWrite().toStdString(), "AppSetting", "savePath",
                             folder.toStdString());
    return PathJoin(folder, subPath);
}

void SetCacheSavePath(const QString& folder) {
    QString path = QString(folder).replace('\\', '/');
    MakePath(path);
    if (!path.endsWith('/')) path += '/';
    platform::IniWriteString(PathIniToWrite().toStdString(), "AppSetting", "savePath",
                             path.toStdString());
}
