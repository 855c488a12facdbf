#include "object_safety_impl.h"

namespace {

constexpr com::DWORD kSafeForScripting =
    com::INTERFACESAFE_FOR_UNTRUSTED_CALLER | com::INTERFACESAFE_FOR_UNTRUSTED_DATA;

}  // namespace

long ObjectSafetyImpl::queryInterface(const com::IID& iid, void** iface) {
    if (!iface) return com::E_POINTER;
    *iface = nullptr;
    if (iid != com::IObjectSafety::kIid) return com::E_NOINTERFACE;
    *iface = static_cast<com::IObjectSafety*>(this);
    AddRef();
    return com::S_OK;
}

com::HRESULT ObjectSafetyImpl::QueryInterface(const com::IID& iid, void** out) {
    return controllingUnknown()->QueryInterface(iid, out);
}

com::ULONG ObjectSafetyImpl::AddRef() { return controllingUnknown()->AddRef(); }

com::ULONG ObjectSafetyImpl::Release() { return controllingUnknown()->Release(); }

// The same answer for every interface of the control.
com::HRESULT ObjectSafetyImpl::GetInterfaceSafetyOptions(const com::IID& /*iid*/,
                                                         com::DWORD* supported,
                                                         com::DWORD* enabled) {
    if (!supported || !enabled) return com::E_POINTER;
    *supported = kSafeForScripting;
    *enabled = kSafeForScripting;
    return com::S_OK;
}

com::HRESULT ObjectSafetyImpl::SetInterfaceSafetyOptions(const com::IID& /*iid*/,
                                                         com::DWORD /*mask*/,
                                                         com::DWORD /*enabled*/) {
    // Every option is on for good; a request to change them is accepted and changes nothing.
    return com::S_OK;
}
