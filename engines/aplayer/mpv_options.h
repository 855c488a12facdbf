// The option set every engine instance starts libmpv with, and the parsing of extra options
// (for example "vo=null ao=null" in tests, or a software renderer under a virtual display).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace aplayer {

using MpvOptionList = std::vector<std::pair<std::string, std::string>>;

// Options set before mpv starts: no configuration files, scripts, key bindings or on-screen
// controller of mpv's own; files open paused; a bounded network read-ahead so that a far seek
// in an HTTP source issues a new range request instead of waiting for the whole file.
MpvOptionList BaseMpvOptions();

// Parses blank-separated "name=value" items (a leading "--" is allowed). std::nullopt when an
// item has no '=' or an empty name.
std::optional<MpvOptionList> ParseMpvOptions(const std::string& text);

// The environment variable whose text ParseMpvOptions reads when the engine is made through
// the component interface.
inline constexpr const char* kMpvOptionsVariable = "ORVANE_APLAYER_MPV_OPTIONS";

}  // namespace aplayer
