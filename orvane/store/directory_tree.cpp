#include "directory_tree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Every entry, dot files included; links are listed as themselves.
QFileInfoList Entries(const QString& path) {
    return QDir(path).entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::NoSort);
}

bool IsRealFolder(const QFileInfo& info) { return info.isDir() && !info.isSymLink(); }

}  // namespace

qint64 DirectorySize(const QString& path) {
    const QFileInfo folder(path);
    if (path.isEmpty() || !IsRealFolder(folder)) return 0;
    qint64 total = 0;
    for (const QFileInfo& entry : Entries(path)) {
        if (entry.isSymLink()) continue;
        total += entry.isDir() ? DirectorySize(entry.filePath()) : entry.size();
    }
    return total;
}

void RemoveDirectoryTree(const QString& path) {
    const QFileInfo folder(path);
    if (path.isEmpty() || !IsRealFolder(folder)) return;
    for (const QFileInfo& entry : Entries(path)) {
        if (IsRealFolder(entry))
            RemoveDirectoryTree(entry.filePath());
        else
            QFile::remove(entry.filePath());  // a link goes, its target stays
    }
    QDir().rmdir(path);
}
