#include "engine_library.h"

#include "app_paths.h"
#include "platform/paths.h"

namespace {

QString& EngineFolderOverride() {
    static QString folder;
    return folder;
}

}  // namespace

QString EngineLibraryPath() {
    const QString folder = EngineFolderOverride().isEmpty()
                               ? QString::fromStdString(platform::ExecutableDirectory())
                               : EngineFolderOverride();
    return PathJoin(folder, QString::fromStdString(platform::LinuxFileName("APlayer.dll")));
}

void SetEngineFolder(const QString& folder) { EngineFolderOverride() = folder; }
