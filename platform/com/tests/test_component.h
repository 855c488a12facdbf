// The interface of the component library built for the tests.
#pragma once

#include "com/interfaces.h"

namespace comtest {

constexpr com::CLSID kGreeterClsid = com::MakeGuid("{3F2A9C41-7B1D-4E0A-9C55-2B8E61D0A7F3}");
constexpr com::IID kGreeterEventsIid = com::MakeGuid("{8D04E7B2-51C3-4A9F-B6E1-0C7F3A92D5E8}");
constexpr com::GUID kTypeLib = com::MakeGuid("{A1B2C3D4-0001-4E5F-8A9B-112233445566}");
constexpr com::GUID kAppId = com::MakeGuid("{A1B2C3D4-0002-4E5F-8A9B-112233445566}");
constexpr char kProgId[] = "OrvaneTest.Greeter.1";
constexpr char kVersionIndependentProgId[] = "OrvaneTest.Greeter";

// Event DISPIDs of kGreeterEventsIid.
constexpr com::DISPID kDispidOnAnnounced = 1;  // (text, sequence number from 1)

struct IGreeter : com::IDispatch {
    using Base = com::IDispatch;
    static constexpr com::IID kIid = com::MakeGuid("{5C1E0B7A-2D94-4F63-A8B0-9E3D47C6F210}");

    virtual com::HRESULT SetName(const com::Bstr& name) = 0;
    virtual com::HRESULT Greeting(com::Bstr* text) = 0;
};

}  // namespace comtest
