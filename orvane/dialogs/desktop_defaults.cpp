#include "desktop_defaults.h"

#include <QFile>

#include "platform/ini_file.h"
#include "platform/registry.h"

namespace {

const char kSection[] = "Default Applications";
const char kKeptKey[] = "Software\\orvane\\MimeDefaults";
constexpr auto kUser = platform::Hive::CurrentUser;

// A default names one or more desktop entries, the preferred one first.
bool IsPlayers(const std::string& entries, const std::string& entry) {
    return entries.substr(0, entries.find(';')) == entry;
}

std::string Default(const std::string& list, const std::string& type) {
    return platform::IniTextReadString(list, kSection, type);
}

void SetDefault(std::string& list, const std::string& type, const std::string& entries) {
    if (entries.empty())
        platform::IniTextDeleteKey(list, kSection, type);
    else
        platform::IniTextWriteString(list, kSection, type, entries);
}

}  // namespace

DefaultsProjection::DefaultsProjection(const QStringList& types, const QString& entryName,
                                       const QString& listPath)
    : path_(listPath.toStdString()), entry_(entryName.toStdString()) {
    if (entry_.empty()) return;  // no entry of the player's to make anything's default
    QFile file(listPath);
    const std::string list = file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "";
    for (const QString& name : types) {
        const std::string type = name.toStdString();
        const std::string current = Default(list, type);
        if (IsPlayers(current, entry_)) continue;
        if (platform::RegistrySetValue(kUser, kKeptKey, type, current)) takeOver_[type] = current;
    }
    for (const std::string& type : platform::RegistryValueNames(kUser, kKeptKey)) {
        if (types.contains(QString::fromStdString(type), Qt::CaseInsensitive)) continue;
        if (IsPlayers(Default(list, type), entry_))
            giveBack_[type] = platform::RegistryGetString(kUser, kKeptKey, type);
        platform::RegistryDeleteValue(kUser, kKeptKey, type);
    }
}

QString DefaultsProjection::Apply() {
    const bool written = platform::IniRewrite(path_, [this](const std::string& present) {
        std::string list = present;
        // A default that changed since it was kept is someone's new choice: it stays.
        for (auto it = takeOver_.cbegin(); it != takeOver_.cend(); ++it)
            if (Default(list, it.key()) == it.value()) SetDefault(list, it.key(), entry_ + ";");
        for (auto it = giveBack_.cbegin(); it != giveBack_.cend(); ++it)
            if (IsPlayers(Default(list, it.key()), entry_)) SetDefault(list, it.key(), it.value());
        return list;
    });
    if (written) return QString();
    platform::RegistryTransaction keep;
    for (auto it = giveBack_.cbegin(); it != giveBack_.cend(); ++it)
        platform::RegistrySetValue(kUser, kKeptKey, it.key(), it.value());
    return "cannot write " + QString::fromStdString(path_);
}
