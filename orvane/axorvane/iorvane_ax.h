// The browser control's identity and its dual interface, in the order of the interface.
#pragma once

#include "com/interfaces.h"

constexpr com::CLSID kClsidOrvaneAX = com::MakeGuid("{62BA1F80-E8F4-40e1-AB8A-F33E51B70881}");
constexpr com::GUID kLibIdAxorvane = com::MakeGuid("{CF793CF8-3DC7-4fcc-B78C-74AF38049DB8}");
constexpr com::GUID kAppIdAxorvane = com::MakeGuid("{05D56167-B2C7-4EE0-AB3E-6F17A4332BD7}");

// Member ids of the interface's calls by name.
constexpr com::DISPID kDispIdSetOvUrl = 1;
constexpr com::DISPID kDispIdUrl = 2;
constexpr com::DISPID kDispIdPlayState = 3;
constexpr com::DISPID kDispIdGetVer = 4;

struct IOrvaneAX : com::IDispatch {
    using Base = com::IDispatch;
    static constexpr com::IID kIid = com::MakeGuid("{1D8AB885-85B4-4DC0-865D-210FDEF3A30D}");

    virtual com::HRESULT put_Caption(const com::Bstr& caption) = 0;
    virtual com::HRESULT get_Caption(com::Bstr* caption) = 0;
    virtual com::HRESULT setOvUrl(const com::Bstr& ovUrl) = 0;
    virtual com::HRESULT get_url(com::Bstr* url) = 0;
    virtual com::HRESULT put_url(const com::Bstr& url) = 0;
    virtual com::HRESULT get_PlayState(com::LONG* state) = 0;
    virtual com::HRESULT put_PlayState(com::LONG state) = 0;
    virtual com::HRESULT get_GetVer(com::Bstr* version) = 0;
    virtual com::HRESULT put_GetVer(const com::Bstr& version) = 0;
};
