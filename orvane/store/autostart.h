// Starting the host program with the user's session.
#pragma once

// The Run value "orvane" of the current user names an existing file.
bool IsAutoStart();

// Writes (on) or removes (off) the Run value "orvane" with the host executable's path, and
// the matching desktop autostart entry of the player's, so that the session really starts the
// program (players_files.h: an entry of the user's under that name is never touched).
void SetAutoStart(bool on);
