// Starting the host program with the user's session.
#pragma once

// The Run value "orvane" of the current user names an existing file.
bool IsAutoStart();

// Writes (on) or removes (off) the Run value "orvane" with the host executable's path, and
// the matching desktop autostart entry, so that the session really starts the program.
void SetAutoStart(bool on);
