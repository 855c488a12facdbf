// Window handles: X11 window ids (below 2^29), written as signed decimal text wherever they
// travel (pipe requests, command lines).
#pragma once

#include <optional>
#include <string>

namespace platform::window {

using WindowHandle = unsigned long;

// The signed decimal form ("12582919").
std::string FormatHandle(WindowHandle handle);
// Strict: an optional sign and decimal digits only, within 32 bits; negative values and 0 are
// no window and give std::nullopt, as does any other text.
std::optional<WindowHandle> ParseHandle(const std::string& text);

}  // namespace platform::window
