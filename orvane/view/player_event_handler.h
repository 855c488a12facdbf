// What the player view hears from the playback engine: one callback per engine event, in the
// order of the engine's event ids. Each answers a result code, which the sink does not look at.
#pragma once

#include <QString>

#include "com/hresult.h"

// Window messages that OnMessage reports from the engine's video window (the numbers of the
// desktop platform the engine speaks).
constexpr int kWmKeyDown = 0x0100;
constexpr int kWmKeyUp = 0x0101;
constexpr int kWmMouseMove = 0x0200;
constexpr int kWmLButtonUp = 0x0202;
constexpr int kWmLButtonDblClk = 0x0203;

class CPlayerEventHandler {
public:
    // A message of the engine's video window. Mouse messages pack the point into lParam (x in
    // the low 16 bits, y in the high 16 bits, both signed) and the button and modifier flags
    // into wParam; key messages carry the virtual-key code in wParam.
    virtual com::HRESULT OnMessage(int message, int wParam, int lParam) = 0;
    virtual com::HRESULT OnStateChanged(int oldState, int newState) = 0;
    virtual com::HRESULT OnOpenSucceeded() = 0;
    virtual com::HRESULT OnSeekCompleted(int position) = 0;
    virtual com::HRESULT OnBuffer(int percent) = 0;
    virtual com::HRESULT OnVideoSizeChanged() = 0;
    virtual com::HRESULT OnDownloadCodec(const QString& codecPath) = 0;

protected:
    ~CPlayerEventHandler() = default;
};
