// The speed limits of the settings: KiB per second in the settings, bytes per second for
// the BT server and the streaming service.
#pragma once

#include <utility>

// The largest limit in KiB per second whose bytes per second still fit an int.
constexpr int kMaxSpeedLimitKiB = 2097151;

// The download and upload limits in bytes per second that the settings ask for: 0 and 0
// (no limit) while "settings_speed_limit" is off, else "settings_download_speed" and
// "settings_upload_speed" times 1024. A stored value outside 0 to kMaxSpeedLimitKiB (the
// edits accept no other) is taken as the nearest end of that range.
std::pair<int, int> SpeedLimitsFromSettings();
