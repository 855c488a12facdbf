// The eleven user settings, kept under their keys in the value map and in the store.
#pragma once

#include <QStringList>

// The settings keys in the order every settings function treats them.
QStringList SettingsKeys();

// Puts the default of every setting into the value map.
void SetDefaultSettings();
// Copies every setting the store holds into the value map; the others keep their values.
void LoadStoredSettings();
// Writes every setting of the value map to the store.
void StoreSettings();
