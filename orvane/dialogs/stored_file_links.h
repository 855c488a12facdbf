// What the desktop program does when it is started with "-setfilelinks": the associations
// the user chose in the settings, done again in a process of its own.
#pragma once

#include <QString>

// Registers every extension of the stored "settings_linked_type" list, unregisters the
// other associable ones (only those that are the player's) and projects the result onto the
// desktop, as one registry transaction. Answers an empty text, or why the registry or the
// desktop could not be written.
QString ApplyStoredFileLinks();
