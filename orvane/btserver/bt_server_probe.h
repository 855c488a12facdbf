// The one BT server process of the desktop: is it running, and starting it.
#pragma once

// True when another process holds the shared-memory segment "btserver".
bool IsBtServerRunning();

// Starts the desktop program with "-startbt" unless a BT server runs already (then true at
// once). Waits a second for the new process to take the segment, then answers whether the
// process was started.
bool StartBtServer();

// The same start without the wait: the caller gives the new process its second some other
// way. True when a BT server runs or the process was started.
bool LaunchBtServer();

// How long a new BT server is given to take its segment and open its pipe.
constexpr int kBtServerStartMs = 1000;
