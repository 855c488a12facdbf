// Folders and URLs that come from the configuration: the data folder, the web-service base
// and the media cache folder.
#pragma once

#include <QString>

// `name` in the data folder: the user's place for "..\data" (platform/user_files.h), made
// when missing.
QString DataDirPath(const QString& name);

// The web-service base URL ([param] baseurl of "..\cfg\config.ini", else the built-in one),
// always with one "/" before `relative`.
QString BaseUrl(const QString& relative);

// Where the media cache folder goes when none is set: "orvane" on the largest local file
// system, or in the user's cache folder when that file system is the root one. Nothing is made.
QString DefaultCacheFolderPath();

// Scheme, host and port of the page-URL resolve service (those of [param] resolveurl of
// "..\cfg\config.ini", else those of the web-service base URL), without a trailing "/".
QString ResolveServiceOrigin();

// The media cache folder ([AppSetting] savePath of "ini\path.ini") joined with `subPath`.
// When it names no existing folder, a default folder is made, recorded and answered.
QString CacheSavePath(const QString& subPath);

// Records `folder` (created when missing) as the media cache folder.
void SetCacheSavePath(const QString& folder);
