// The desktop program as a player: `orvane [file | URL | magnet | torrent file]`.
#pragma once

// Plays the one optional argument in a window of its own, or hands a local media file to the
// player of this user that runs already. Answers the program's exit code: 0 when it played or
// handed the file over, 1 for an argument that cannot be played, 2 for a wrong command line.
int RunDesktopPlayer(int argc, char** argv);
