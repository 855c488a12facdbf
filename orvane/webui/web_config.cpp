#include "web_config.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <string>
#include <vector>

#include "app_paths.h"
#include "platform/ini_file.h"

namespace {

struct IniKey {
    const char* file;  // of the install folder, kept per user
    const char* section;
    const char* key;
};

// A value of the downloaded configuration and where it is kept.
struct WebConfigValue {
    const char* section;
    const char* key;
    std::vector<IniKey> targets;
};

const std::vector<WebConfigValue>& WebConfigValues() {
    static const std::vector<WebConfigValue> values = {
        {"url", "homepage", {{"..\\cfg\\web_config.ini", "url", "homepage"}}},
        {"url",
         "update",
         {{"..\\cfg\\web_config.ini", "url", "update"},
          {"..\\cfg\\update.ini", "update", "checkUrl"}}},
        {"url", "config", {{"..\\cfg\\web_config.ini", "url", "config"}}},
        {"app",
         "main",
         {{"..\\cfg\\web_config.ini", "app", "main"},
          {"..\\cfg\\update.ini", "update", "process"}}},
    };
    return values;
}

std::string FileToWrite(const char* name) {
    return AppWritePath(QString::fromLatin1(name)).toStdString();
}

void WriteTemporaryFile(const QString& path, const QByteArray& body) {
    MakePath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(body) != body.size())
        qDebug() << "cannot write" << path << file.errorString();
}

void CopyValue(const std::string& source, const WebConfigValue& value) {
    const std::string text = platform::IniReadString(source, value.section, value.key);
    if (text.empty()) return;
    for (const IniKey& target : value.targets)
        if (!platform::IniWriteString(FileToWrite(target.file), target.section, target.key, text))
            qDebug() << "cannot store" << target.key << "in" << target.file;
}

}  // namespace

void StoreWebConfig(const QByteArray& body) {
    const QString temporary = AppWritePath("..\\cfg\\web_config.tmp");
    WriteTemporaryFile(temporary, body);
    for (const WebConfigValue& value : WebConfigValues()) CopyValue(temporary.toStdString(), value);
    QFile::remove(temporary);
    qDebug() << "update webconfig success";
}

QString HomePageUrl() {
    const QString stored = QString::fromStdString(platform::IniReadString(
        AppFilePath("..\\cfg\\web_config.ini").toStdString(), "url", "homepage"));
    if (!stored.isEmpty()) return stored;
    // A file address built from the path itself: a path glued to "file:/" would make its
    // first folder the address's host.
    return QUrl::fromLocalFile(AppFilePath("index.html")).toString();
}
