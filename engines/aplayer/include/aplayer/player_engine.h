// The playback engine's component interface, as its host (the player view) uses it.
//
// The engine library is libAPlayer.so in the host executable's folder. Its DllGetClassObject
// answers a class factory for kPlayerEngineClsid; CreateInstance (no outer object) gives an
// IPlayerEngine. The object also answers com::IConnectionPointContainer, whose point for
// kPlayerEngineEventsIid calls each advised IDispatch sink's Invoke with the event DISPIDs
// below, and ax::IWidgetObject, whose widget is the video window for the host to place.
//
// Calls and events belong to the thread that created the engine (the user-interface thread of
// a QApplication, which must exist first). Extra libmpv options for the engine can be given in
// the environment variable ORVANE_APLAYER_MPV_OPTIONS ("name=value name=value", e.g.
// "vo=null ao=null" for tests without a display).
#pragma once

#include "com/interfaces.h"

namespace aplayer {

constexpr com::CLSID kPlayerEngineClsid = com::MakeGuid("{A9332148-C691-4B9D-91FC-B9C461DBE9DD}");
constexpr com::IID kPlayerEngineEventsIid = com::MakeGuid("{31D6469C-1DA7-47C0-91F9-38F0C39F9B89}");

// Events: DISPID, then the arguments in declaration order (all 32-bit integers except the
// codec path, a text).
constexpr com::DISPID kDispidOnMessage = 1;           // (message, wParam, lParam)
constexpr com::DISPID kDispidOnStateChanged = 2;      // (oldState, newState)
constexpr com::DISPID kDispidOnOpenSucceeded = 3;     // ()
constexpr com::DISPID kDispidOnSeekCompleted = 4;     // (position ms)
constexpr com::DISPID kDispidOnBuffer = 5;            // (percent 0-100)
constexpr com::DISPID kDispidOnVideoSizeChanged = 6;  // ()
constexpr com::DISPID kDispidOnDownloadCodec = 7;     // (codec path); never fired

// States reported by GetState and OnStateChanged: 0 nothing open, 1 opening, 3 paused,
// 4 waiting for the network cache, 5 playing. A play that ends or fails goes to 0; setting 7
// then reads "0" for a normal end and a non-zero code for a failure. Close goes to 0 silently.
//
// Settings with a meaning of the engine's own: 7 result of the last play (read only),
// 20 the video window's id in decimal (read only), 116 media index "ms-offset;..." (read only,
// "" until a media with a known size is open), 503 subtitle file, 504 "1" loads it,
// 612 on-screen text ("" clears it), 2203 always "" (read only). Every other id is stored and
// echoed. SetConfig's result is non-zero when the value was accepted.
//
// Methods keep their order; the Reserved slots answer E_NOTIMPL.
struct IPlayerEngine : com::IDispatch {
    using Base = com::IDispatch;
    static constexpr com::IID kIid = com::MakeGuid("{F19169FA-7EB8-45EB-8800-0D1F7C88F553}");

    // Starts opening; the outcome arrives as events (never inside this call except the state
    // leaving 0). A newer Open supersedes an older one: no event of the older one follows.
    virtual com::HRESULT Open(const com::Bstr& url) = 0;
    virtual com::HRESULT Close() = 0;
    virtual com::HRESULT Play() = 0;
    virtual com::HRESULT Pause() = 0;
    virtual com::HRESULT Reserved1() = 0;
    // The host's logo picture (any handle); accepted and not shown.
    virtual com::HRESULT SetLogo(const void* bitmap) = 0;
    virtual com::HRESULT GetState(com::LONG* state) = 0;
    virtual com::HRESULT GetDuration(com::LONG* ms) = 0;
    virtual com::HRESULT GetPosition(com::LONG* ms) = 0;
    // OnSeekCompleted, with the position reached, follows an accepted seek unless a newer seek
    // replaces it or the play ends first. *result non-zero = accepted.
    virtual com::HRESULT SetPosition(com::LONG ms, com::LONG* result) = 0;
    virtual com::HRESULT Reserved2() = 0;
    virtual com::HRESULT Reserved3() = 0;
    virtual com::HRESULT Reserved4() = 0;
    // 0-100; anything else is refused with E_INVALIDARG. *result non-zero = accepted.
    virtual com::HRESULT SetVolume(com::LONG volume, com::LONG* result) = 0;
    virtual com::HRESULT Reserved5() = 0;
    // -1 unless playback waits for the network cache; then the cache fill in percent.
    virtual com::HRESULT GetBufferState(com::LONG* state) = 0;
    virtual com::HRESULT GetConfig(com::LONG id, com::Bstr* value) = 0;
    virtual com::HRESULT SetConfig(com::LONG id, const com::Bstr& value, com::LONG* result) = 0;
};

}  // namespace aplayer
