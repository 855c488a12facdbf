// Small rules about a play request (a video-info map) that the player view follows.
#pragma once

#include <QString>
#include <QVariant>

// Types 3 (resolved video), 8 (torrent file) and 9 (magnet or "kvbt:" link) stream through
// the streaming service.
inline bool IsStreamType(int type) { return type == 3 || type == 8 || type == 9; }

// The request's "pos" as milliseconds to resume from: a number, as JSON and the history give
// it; anything else (missing, text, negative, not finite) plays from the start.
int ResumePosition(const QVariant& pos);

// The local time in the history's form, "yyyy-MM-dd hh:mm:ss.zzz".
QString WatchTime();
