// Whether a window can be shown at all: Qt aborts the process when its display is missing.
#pragma once

namespace kvupdater {

// True when a dialog can be shown: an X11 display that answers, or, when the Qt platform is
// set to something other than xcb, a display named for it.
bool DisplayAvailable();

}  // namespace kvupdater
