#include "desktop_file_types.h"

#include <QDebug>
#include <QFileInfo>
#include <QProcess>

#include "app_paths.h"
#include "desktop_defaults.h"
#include "desktop_file_texts.h"
#include "file_associations.h"
#include "platform/paths.h"
#include "players_files.h"

namespace {

QString UserDataDir() { return QString::fromStdString(platform::UserDataDir()); }

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
    const PlayersFilePlace place = MimePackagesPlace();
    const bool changed = PutPlayersFile(place, own.isEmpty() ? QString() : PlayersFileName(place),
                                        own.isEmpty() ? QString() : MimePackageXml(own), error);
    const bool built = QFileInfo::exists(UserDataDir() + "/mime/mime.cache");
    if (error.isEmpty() && (changed || (!own.isEmpty() && !built))) error = RefreshMimeDatabase();
    return error;
}

// Writes only the player's own entry; with no types every entry of the player's goes, and
// nothing else.
QString ProjectDesktopEntry(const QString& name, const QStringList& types) {
    QString error;
    PutPlayersFile(ApplicationsPlace(), name,
                   types.isEmpty() ? QString() : DesktopEntryText(AppFilePath("orvane.exe"), types),
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

QString DesktopEntryPath() {
    return ApplicationsPlace().folder + "/" + PlayersFileName(ApplicationsPlace());
}

QString MimePackagePath() {
    return MimePackagesPlace().folder + "/" + PlayersFileName(MimePackagesPlace());
}

QString MimeAppsListPath() {
    return QString::fromStdString(platform::UserConfigDir()) + "/mimeapps.list";
}

AssociationSave::AssociationSave() : registry_(std::make_unique<platform::RegistryTransaction>()) {}

AssociationSave::~AssociationSave() = default;

QString AssociationSave::Finish() {
    if (!registry_) return "the associations were saved already";
    const QStringList extensions = RegisteredExtensions();
    QStringList types;
    for (const QString& ext : extensions)
        if (!types.contains(DesktopMimeType(ext))) types << DesktopMimeType(ext);
    const QString entry = PlayersFileName(ApplicationsPlace());
    DefaultsProjection defaults(types, entry, MimeAppsListPath());
    const bool committed = registry_->Commit();
    const QString registryError = QString::fromStdString(registry_->Error());
    // The lock goes before the slow steps: the desktop only follows what the registry holds.
    registry_.reset();
    if (!committed) {
        qDebug() << "file types not saved in the registry:" << registryError;
        return registryError;
    }

    QString error = ProjectMimePackage(extensions);
    for (const QString& step : {ProjectDesktopEntry(entry, types), defaults.Apply()})
        if (error.isEmpty()) error = step;
    if (!error.isEmpty()) qDebug() << "file types not projected onto the desktop:" << error;
    return error;
}

QString ProjectFileAssociations() { return AssociationSave().Finish(); }
