// The player as the default program of MIME types in the user's mimeapps.list, with the
// user's previous default kept (under the current user's registry key
// "Software\orvane\MimeDefaults", one value per type) so that it comes back later.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <string>

// One change of the defaults, in two steps around a registry transaction, so that a default is
// taken over only once the default it replaces is kept in the registry.
class DefaultsProjection {
public:
    // Inside the registry transaction: reads the list `listPath` and keeps the default of each
    // of `types` that the desktop entry `entryName` is to take over. Every other type the
    // player made its own is to get its kept default back while the player is still its
    // default; a default the user chose since stays. The kept defaults of both go from the
    // registry.
    DefaultsProjection(const QStringList& types, const QString& entryName, const QString& listPath);

    // After the transaction was committed: writes the list once. When that fails, the kept
    // defaults of the types to give back are put back into the registry, so none is lost.
    // Answers an empty text or the reason.
    QString Apply();

private:
    std::string path_;
    std::string entry_;
    QMap<std::string, std::string> takeOver_;  // type -> its default, now kept
    QMap<std::string, std::string> giveBack_;  // type -> the default it gets back
};
