// The BT server routine: the body of the desktop program's "-startbt" mode.
#pragma once

// First and last loopback port that the stream server is offered.
inline constexpr int kFirstStreamPort = 17766;
inline constexpr int kLastStreamPort = 18000;

// Becomes the one BT server of this user, loads the streaming service from the install
// folder, starts it on a free loopback port, publishes the stream base URL and serves the
// pipe on a thread of its own while the application's event loop runs. Needs a
// QCoreApplication. Returns at once when another BT server runs or the service cannot be
// loaded; otherwise when the pipe has ended ("quit" or a broken pipe) or the event loop was
// quit. The "btserver" marker is held until it returns.
void BtServerMain();

// The first port from `first` to `last` on which 127.0.0.1 can be listened on; `last` when
// none can.
int ProbeStreamPort(int first, int last);

// Starts the streaming service on the first port from `first` to `last` that it can serve
// on (`last` when none) and answers that port.
int StartStreamService(int first, int last);
