// Where each user's state lives.
//
// The install folder is shared by every user of the machine and may be read-only: at run time
// it is only read. What the system writes goes to the folders of the user who runs it, each
// under "orvane", with the XDG defaults when the variables are unset:
//   the settings and history store "..\data"     -> $XDG_DATA_HOME/orvane/
//   written configuration "..\cfg\*", "ini\*"    -> $XDG_CONFIG_HOME/orvane/
//   the stream cache "MediaData"                 -> $XDG_CACHE_HOME/orvane/MediaData
//   logs, crash dumps ("D2IZedavi.log", "debug.log", "dmp") -> $XDG_STATE_HOME/orvane/
// A file the user has no copy of is read from the install folder, so a packager's shipped
// configuration applies until the user's first change. Programs, libraries, "web", "plugins"
// and "codecs" are the install folder's alone. Every process of the system goes through this
// one mapping, so they all meet at the same files.
//
// Names are relative to the install folder's program folder, as the modules know them ('\' or
// '/', "." and ".." resolved): "..\cfg\update.ini", "ini\path.ini", "MediaData".
#pragma once

#include <string>

namespace platform {

// The user's place for `name`; empty when the name belongs to the install folder.
std::string UserFilePath(const std::string& name);

// The install folder's own file for `name` (the shipped one), whatever copy the user has.
std::string ShippedFilePath(const std::string& installDir, const std::string& name);

// What to read for `name` beside `installDir`: the user's copy when it exists, else the
// install folder's file (also for names that belong to the install folder).
std::string FileToRead(const std::string& installDir, const std::string& name);

// Where to write `name`: the user's place, its folder made (0700 for the levels made). A file
// the user has no copy of starts as a copy of the install folder's, so that a writer that
// changes one key keeps the shipped others; a copy another process made first is never
// replaced. Names that belong to the install folder answer the install folder's path, which a
// read-only install refuses to write.
std::string FileToWrite(const std::string& installDir, const std::string& name);

}  // namespace platform
