// COrvaneAX, the browser control that web pages embed. It paints its window black, keeps the
// page's URL, makes sure the BT server runs, asks it over the pipe to play the URL in this
// window and to follow later URL changes, and reads the play state back for the page. The
// picture comes from the host program that the BT server starts for "play".
//
// Everything runs on the thread of the hosting page; pipe exchanges are synchronous.
#pragma once

#include <cstdint>
#include <string>

#include "atl/control.h"
#include "iorvane_ax.h"
#include "request_queue.h"

class COrvaneAX final : public atl::Control<COrvaneAX, IOrvaneAX> {
public:
    COrvaneAX();

    com::HRESULT setOvUrl(const com::Bstr& ovUrl) override;
    com::HRESULT get_url(com::Bstr* url) override;
    com::HRESULT put_url(const com::Bstr& url) override;
    com::HRESULT get_PlayState(com::LONG* state) override;
    com::HRESULT put_PlayState(com::LONG state) override;
    com::HRESULT get_GetVer(com::Bstr* version) override;
    com::HRESULT put_GetVer(const com::Bstr& version) override;

protected:
    void OnCreate() override;
    void OnTimer(int id) override;
    void OnPaint(QPainter& painter, const QRect& rect) override;

private:
    void DefineDispatch();
    // Asks for the stream base URL; when nobody answers, starts the desktop program beside
    // this library in BT server mode and goes on at once.
    void EnsurePlayerRunning();
    // The window handle as it travels on the pipe; 0 until the window exists.
    std::int32_t Win() const;

    std::string url_;  // UTF-8
    RequestQueue queue_;
};
