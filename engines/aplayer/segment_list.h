// A playlist file of consecutive segments of one video (the player writes one when a web
// video comes in parts: "#EXTM3U", "#EXTINF:<seconds>," lines, one URL per segment,
// "#EXT-X-ENDLIST") is one media to the player: one open, one duration, one end. mpv would
// treat it as a list of separate files, so the engine hands mpv a timeline of the segments.
#pragma once

#include <string>

namespace aplayer {

// For a local file in that form: an "edl://" address joining its segments in order (relative
// entries resolved against the file's folder). Anything else, including a streaming playlist
// with further "#EXT-X-" tags, which mpv plays itself: `url` unchanged.
std::string SegmentListAsTimeline(const std::string& url);

}  // namespace aplayer
