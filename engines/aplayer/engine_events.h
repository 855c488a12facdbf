// What the engine reports, always on the thread that created it.
#pragma once

#include <cstdint>

namespace aplayer {

// Play states. 0 and 5 are fixed by the callers; 1 while a media opens, 3 paused (a position
// exists), 4 while playback waits for the network cache to refill.
enum EngineState : int {
    kStateClosed = 0,
    kStateOpening = 1,
    kStatePaused = 3,
    kStateBuffering = 4,
    kStatePlaying = 5,
};

class EngineEvents {
public:
    virtual ~EngineEvents() = default;
    // A message of the video window (see input_messages.h).
    virtual void OnMessage(int message, int wParam, std::int32_t lParam) = 0;
    virtual void OnStateChanged(int oldState, int newState) = 0;
    // Once per play: the media is open, its duration is known, and it waits paused for Play.
    virtual void OnOpenSucceeded() = 0;
    virtual void OnSeekCompleted(int positionMs) = 0;
    // 0..100 while playback waits for the network cache; 100 when it resumes.
    virtual void OnBuffer(int percent) = 0;
    virtual void OnVideoSizeChanged() = 0;
};

}  // namespace aplayer
