// The texts the desktop projection writes: the desktop entry and the player's MIME package.
#pragma once

#include <QString>
#include <QStringList>

// The desktop entry's file name, which is also how mimeapps.list names the player.
extern const char kDesktopEntryName[];

// Those of `extensions` that the system gives no video type, in the given order: each gets
// the player's own type in the MIME package.
QStringList ExtensionsNeedingOwnType(const QStringList& extensions);

// The shared-mime-info package that defines the own types of `extensions`. Their patterns
// weigh more than the system's, and each own type is a sub-class of the types the system
// gives its extension, so a file whose content looks like one of those keeps the own type.
QString MimePackageXml(const QStringList& extensions);

// A desktop entry that runs `program` with one file and lists `types`.
QString DesktopEntryText(const QString& program, const QStringList& types);
