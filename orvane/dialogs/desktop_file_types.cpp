#include "desktop_file_types.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "app_paths.h"
#include "desktop_defaults.h"
#include "desktop_file_texts.h"
#include "file_associations.h"
#include "platform/ini_file.h"
#include "platform/paths.h"

namespace {

QString UserDataDir() { return QString::fromStdString(platform::UserDataDir()); }

QString ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Writes `content` unless the file holds it already; answers whether the file changed and
// puts a failure's reason into `error`.
bool WriteWhenChanged(const QString& path, const QString& content, QString& error) {
    if (QFileInfo::exists(path) && ReadFile(path) == content) return false;
    platform::MakeDirectories(QFileInfo(path).path().toStdString());
    if (!platform::WriteFileAtomically(path.toStdString(), content.toStdString()))
        error = "cannot write " + path;
    return true;
}

bool RemoveIfPresent(const QString& path, QString& error) {
    if (!QFileInfo::exists(path)) return false;
    if (!QFile::remove(path)) error = "cannot remove " + path;
    return true;
}

QString RefreshMimeDatabase() {
    const QString folder = UserDataDir() + "/mime";
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start("update-mime-database", {folder});
    if (!tool.waitForStarted(10000))
        return "cannot run update-mime-database: " + tool.errorString();
    if (!tool.waitForFinished(60000)) {
        tool.kill();
        tool.waitForFinished(5000);
        return "update-mime-database did not finish for " + folder;
    }
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return "update-mime-database failed: " + QString::fromLocal8Bit(tool.readAll()).trimmed();
    return QString();
}

// The package and the database built from it: the database is refreshed whenever the
// package changed, and also when it was never built.
QString ProjectMimePackage(const QStringList& extensions) {
    QString error;
    const QStringList own = ExtensionsNeedingOwnType(extensions);
    const bool changed = own.isEmpty()
                             ? RemoveIfPresent(MimePackagePath(), error)
                             : WriteWhenChanged(MimePackagePath(), MimePackageXml(own), error);
    const bool built = QFileInfo::exists(UserDataDir() + "/mime/mime.cache");
    if (error.isEmpty() && (changed || (!own.isEmpty() && !built))) error = RefreshMimeDatabase();
    return error;
}

QString ProjectDesktopEntry(const QStringList& types) {
    QString error;
    if (types.isEmpty())
        RemoveIfPresent(DesktopEntryPath(), error);
    else
        WriteWhenChanged(DesktopEntryPath(), DesktopEntryText(AppFilePath("orvane.exe"), types),
                         error);
    return error;
}

QStringList RegisteredExtensions() {
    QStringList registered;
    for (const QString& ext : AssociationExtensions())
        if (IsFileAssociationRegistered(ext)) registered << ext;
    return registered;
}

}  // namespace

QString DesktopEntryPath() { return UserDataDir() + "/applications/" + kDesktopEntryName; }

QString MimePackagePath() { return UserDataDir() + "/mime/packages/orvane.xml"; }

QString MimeAppsListPath() {
    return QString::fromStdString(platform::UserConfigDir()) + "/mimeapps.list";
}

QString ProjectFileAssociations() {
    const QStringList extensions = RegisteredExtensions();
    QStringList types;
    for (const QString& ext : extensions)
        if (!types.contains(DesktopMimeType(ext))) types << DesktopMimeType(ext);

    QString error = ProjectMimePackage(extensions);
    const QString entryError = ProjectDesktopEntry(types);
    const QString defaultsError = ProjectDefaults(types, MimeAppsListPath());
    for (const QString& step : {entryError, defaultsError})
        if (error.isEmpty()) error = step;
    if (!error.isEmpty()) qDebug() << "file types not projected onto the desktop:" << error;
    return error;
}
