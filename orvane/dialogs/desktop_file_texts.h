// The texts the player writes onto the desktop: its desktop entry, its autostart entry and its
// MIME package, each marked as the player's own.
#pragma once

#include <QString>
#include <QStringList>

// The key that marks a desktop entry as the player's own, with the value "true".
extern const char kDesktopEntryMarkKey[];
// The comment that marks a MIME package as the player's own (the MIME tools skip comments).
extern const char kMimePackageMark[];

// Those of `extensions` that the system gives no video type, in the given order: each gets
// the player's own type in the MIME package.
QStringList ExtensionsNeedingOwnType(const QStringList& extensions);

// The shared-mime-info package that defines the own types of `extensions`. Their patterns
// weigh more than the system's, and each own type is a sub-class of the types the system
// gives its extension, so a file whose content looks like one of those keeps the own type.
QString MimePackageXml(const QStringList& extensions);

// A desktop entry of the player's (it carries the mark) that runs `program` with one file and
// lists `types`.
QString DesktopEntryText(const QString& program, const QStringList& types);

// The autostart entry of the player's (it carries the mark) that runs `program`.
QString AutostartEntryText(const QString& program);
