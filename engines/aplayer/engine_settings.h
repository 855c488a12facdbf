// Setting ids the engine itself gives a meaning to, and the media index it synthesises.
// Every other id is stored and echoed as text.
#pragma once

#include <string>

namespace aplayer {

namespace setting {
constexpr int kPlayResult = 7;    // read: result code of the last play, "0" = ended normally
constexpr int kVideoWindow = 20;  // read: the video window's id in decimal
constexpr int kMediaIndex = 116;  // read: "ms-offset;ms-offset;..."
constexpr int kSubtitleFile = 503;
constexpr int kSubtitleLoad = 504;  // "1" loads the file of kSubtitleFile
constexpr int kOsdText = 612;       // on-screen text, "" clears it
constexpr int kSpeedText = 2203;    // read: the engine's own block map; always ""
}  // namespace setting

// True for the ids that only report (writing them is refused).
bool IsReadOnlySetting(int id);

// A media index spread linearly over the play: one item per second of media, at least 16 and
// at most 4096, each "time-offset" (milliseconds and bytes), the first "0-0", the last
// "durationMs-bytes", separated by ';' without a trailing separator. "" when either value is
// not positive.
std::string MediaIndex(long long durationMs, long long bytes);

}  // namespace aplayer
