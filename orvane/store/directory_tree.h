// Size and removal of a folder tree (the media cache). Hidden files count and go too;
// symbolic links are never followed.
#pragma once

#include <QString>
#include <QtGlobal>

// Total size of the files below the folder; 0 when it does not exist.
qint64 DirectorySize(const QString& path);

// Deletes the folder with everything in it. Its parent folder stays.
void RemoveDirectoryTree(const QString& path);
