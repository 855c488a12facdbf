// Making the player the program that opens video files, kept in the registry: per extension
// the program identifier "orvane.<ext>" under the current user's and the machine's classes,
// the extension's previous identifier kept in "ovbak", and the file manager's per-user
// choices pointed at the player. Everything here runs on the user-interface thread.
#pragma once

#include <QString>
#include <QStringList>

// The extensions that can be associated, without dots, in the order the settings dialog
// shows them.
extern const char kAssociationList[];
QStringList AssociationExtensions();

// Makes `ext` open with the host executable, for the current user and for the machine (the
// machine half fails silently without the rights). Registering twice keeps the first backup.
void RegisterFileAssociations(const QString& ext);

// Gives `ext` back to the program identifier it had before. An extension that is not the
// player's (no "orvane.<ext>" default and no "ovbak" backup under either root) is left
// untouched, so the user's choices for other programs survive every save of the settings.
void UnregisterFileAssociations(const QString& ext);

// The current user's class of `ext` names the player's identifier "orvane.<ext>".
bool IsFileAssociationRegistered(const QString& ext);
