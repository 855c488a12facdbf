// The recording stand-in of the playback engine (tests/fake_engine/libAPlayer.so), made and
// loaded the way the player view makes the real one. Its engine object also answers this
// interface, through which a test reads what the view asked of the engine and plays the
// engine's part: states, media figures and events.
#pragma once

#include <string>
#include <vector>

#include "com/interfaces.h"

struct IFakeEngineControl : com::IUnknown {
    using Base = com::IUnknown;
    static constexpr com::IID kIid = com::MakeGuid("{0B7D2C41-6F3A-4E58-9C1D-5A2E8F604B17}");

    // Every call of the engine interface so far, in order: "Open <url>", "Close", "Play",
    // "Pause", "SetPosition <ms>", "SetVolume <volume>", "SetConfig <id>=<value>".
    virtual std::vector<std::string> Calls() const = 0;
    virtual void ClearCalls() = 0;

    // What GetDuration, GetPosition and GetBufferState answer from now on.
    virtual void SetMedia(int durationMs, int positionMs, int bufferState) = 0;
    // What GetConfig answers for `id` (the engine's read-only settings such as 7 and 116).
    virtual void SetConfigValue(int id, const std::string& value) = 0;
    // Moves to `state` and reports OnStateChanged(old, state) when it changed.
    virtual void ChangeState(int state) = 0;
    // Reports an event with 32-bit arguments (the DISPIDs of the engine interface).
    virtual void Fire(com::DISPID id, const std::vector<int>& args) = 0;
};
