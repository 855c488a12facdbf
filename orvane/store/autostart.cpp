#include "autostart.h"

#include <QFile>
#include <QFileInfo>

#include "app_paths.h"
#include "platform/ini_file.h"
#include "platform/paths.h"
#include "registry_values.h"

namespace {

const char kRunKey[] = "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

QString AutostartEntryPath() {
    return QString::fromStdString(platform::UserConfigDir()) + "/autostart/orvane.desktop";
}

// The Exec key quotes its argument; inside the quotes '"', '`', '$' and '\' are escaped
// with '\', and the entry's string escaping then doubles every '\' once more.
QString DesktopExecValue(const QString& program) {
    QString quoted;
    for (const QChar c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted = '"' + quoted + '"';
    return quoted.replace('\\', "\\\\");
}

void WriteAutostartEntry(const QString& program) {
    const QString content =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=orvane\n"
        "Exec=" +
        DesktopExecValue(program) +
        "\n"
        "X-GNOME-Autostart-enabled=true\n";
    platform::MakeDirectories(QFileInfo(AutostartEntryPath()).path().toStdString());
    platform::WriteFileAtomically(AutostartEntryPath().toStdString(), content.toStdString());
}

}  // namespace

bool IsAutoStart() {
    const QString path = RegistryRead(kRunKey, "orvane").toString();
    return !path.isEmpty() && QFileInfo::exists(path);
}

void SetAutoStart(bool on) {
    if (on) {
        RegistryWrite(kRunKey, "orvane", HostExePath());
        WriteAutostartEntry(HostExePath());
    } else {
        RegistryRemove(kRunKey, "orvane");
        QFile::remove(AutostartEntryPath());
    }
}
