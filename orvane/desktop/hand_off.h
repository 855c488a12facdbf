// Handing a local file to the player of this user that runs already, over its UDP hand-off
// port on 127.0.0.1.
#pragma once

#include <QString>
#include <chrono>
#include <cstdint>

// The hand-off port: 54331, or ORVANE_HAND_OFF_PORT when that holds a port number. Tests that
// start players beside other players of the same user choose a port of their own with it, as
// one port of the machine cannot tell their players apart.
std::uint16_t DesktopHandOffPort();

// Sends `path` to the player listening on 127.0.0.1:`port`. A player that is still starting
// gets up to `startLimit` to open its port. The file goes only to a port of this user: a
// player of another user would drop it, and the file would be lost. False with `error` set
// when the file was not taken.
bool HandOffToPlayer(const QString& path, std::uint16_t port, QString& error,
                     std::chrono::milliseconds startLimit = std::chrono::seconds(10));
