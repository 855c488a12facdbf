#include "desktop_defaults.h"

#include "desktop_file_texts.h"
#include "platform/ini_file.h"
#include "platform/registry.h"

namespace {

const char kSection[] = "Default Applications";
const char kKeptKey[] = "Software\\orvane\\MimeDefaults";
constexpr auto kUser = platform::Hive::CurrentUser;

// A default names one or more desktop entries, the preferred one first.
bool IsPlayers(const std::string& entries) {
    return entries.substr(0, entries.find(';')) == kDesktopEntryName;
}

class DefaultsList {
public:
    explicit DefaultsList(const QString& path) : path_(path.toStdString()) {}

    std::string Get(const std::string& type) const {
        return platform::IniReadString(path_, kSection, type);
    }
    void Set(const std::string& type, const std::string& entries) {
        if (Get(type) == entries) return;
        const bool written = entries.empty()
                                 ? platform::IniDeleteKey(path_, kSection, type)
                                 : platform::IniWriteString(path_, kSection, type, entries);
        if (!written && error_.isEmpty()) error_ = "cannot write " + QString::fromStdString(path_);
    }
    const QString& Error() const { return error_; }

private:
    std::string path_;
    QString error_;
};

void MakePlayers(DefaultsList& list, const std::string& type) {
    const std::string current = list.Get(type);
    if (IsPlayers(current)) return;
    platform::RegistrySetValue(kUser, kKeptKey, type, current);
    list.Set(type, std::string(kDesktopEntryName) + ";");
}

void GiveBack(DefaultsList& list, const std::string& type) {
    if (IsPlayers(list.Get(type)))
        list.Set(type, platform::RegistryGetString(kUser, kKeptKey, type));
    platform::RegistryDeleteValue(kUser, kKeptKey, type);
}

}  // namespace

QString ProjectDefaults(const QStringList& types, const QString& listPath) {
    DefaultsList list(listPath);
    for (const QString& type : types) MakePlayers(list, type.toStdString());
    for (const std::string& kept : platform::RegistryValueNames(kUser, kKeptKey))
        if (!types.contains(QString::fromStdString(kept), Qt::CaseInsensitive))
            GiveBack(list, kept);
    return list.Error();
}
