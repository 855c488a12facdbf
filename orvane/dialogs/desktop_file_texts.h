// The texts the desktop projection writes: the desktop entry and the player's MIME package.
#pragma once

#include <QString>
#include <QStringList>

// The desktop entry's file name, which is also how mimeapps.list names the player, unless a
// file of someone else's has that name.
extern const char kDesktopEntryName[];
// The key that marks a desktop entry as the player's own, with the value "true".
extern const char kDesktopEntryMarkKey[];

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
