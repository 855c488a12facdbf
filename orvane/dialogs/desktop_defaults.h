// The player as the default program of MIME types in the user's mimeapps.list, with the
// user's previous default kept (under the current user's registry key
// "Software\orvane\MimeDefaults", one value per type) so that it comes back later.
#pragma once

#include <QString>
#include <QStringList>

// Makes the desktop entry the default of each of `types` in the list file `listPath`,
// keeping the default it replaces. Every other type the player made its own gets its kept
// default back while the player is still its default; a default the user chose since stays.
// Answers an empty text or the reason why the list could not be written.
QString ProjectDefaults(const QStringList& types, const QString& listPath);
