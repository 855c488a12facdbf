// Where the player view finds the playback engine's library: the folder of the host
// executable, beside the programs that ship with it, unless another folder was set.
#pragma once

#include <QString>

// The engine library's full path ("libAPlayer.so" in the engine folder).
QString EngineLibraryPath();
// Makes the views made from now on load the engine from `folder`; an empty text restores the
// host executable's folder.
void SetEngineFolder(const QString& folder);
