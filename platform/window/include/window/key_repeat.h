// How a held key reaches this process's windows.
#pragma once

namespace platform::window {

// Asks the display to send a held key as repeated presses only, with one release when it is
// let go. Without it X sends a release before every repeated press, and the toolkit tells the
// two apart only by looking for the press already queued behind the release; on a busy machine
// the press is not there yet, and the repeat looks like a key stroke of its own. False when
// there is no X display or it cannot do this.
bool ReportHeldKeysAsRepeatedPresses();

}  // namespace platform::window
