// The one BT server process of the desktop: is it running, and starting it.
#pragma once

// True when another process holds the shared-memory segment "btserver".
bool IsBtServerRunning();

// Starts the desktop program with "-startbt" unless a BT server runs already (then true at
// once). Waits a second for the new process to take the segment, then answers whether the
// process was started.
bool StartBtServer();
