// Files of the install folder and questions about the host executable.
#pragma once

#include <QString>

// The folder of the control library joined with `name` ("\" and "/" both separate, "." and
// ".." are resolved, Windows program and library names map to their Linux names), so
// "..\cfg\update.ini" names update.ini in the cfg folder beside the install folder. What a
// user writes lives in that user's folders (platform/user_files.h): for such a name the answer
// is the user's copy when there is one, else the install folder's file, to be read.
QString AppFilePath(const QString& name);

// Where to write `name`: the user's place for it, its folder made, starting as a copy of the
// install folder's file (platform::FileToWrite).
QString AppWritePath(const QString& name);

// `b` appended to `a`, with "." and ".." resolved.
QString PathJoin(const QString& a, const QString& b);
bool PathExists(const QString& path);
// Creates the folder and all missing parents.
void MakePath(const QString& path);

QString HostExePath();
QString HostExeName();

// Root (mount point with a trailing "/") of the local file system with the largest total
// size; among equal sizes the later one in the mount table wins. Empty when there is none.
QString LargestFixedDrive();

// Makes AppFilePath() answer relative to `dir` instead of the library's folder; an empty
// text restores the library's folder. For tests that need an install folder of their own.
void SetAppDirectoryForTesting(const QString& dir);
