// The part of the control that tells script hosts it is safe for untrusted callers and
// untrusted data, on every interface.
#pragma once

#include "activex/aggregated.h"
#include "com/interfaces.h"

class ObjectSafetyImpl : public ax::Aggregated, public com::IObjectSafety {
public:
    ObjectSafetyImpl() = default;
    ~ObjectSafetyImpl() override = default;

    long queryInterface(const com::IID& iid, void** iface) override;

    // The IUnknown of this part is the control's own.
    com::HRESULT QueryInterface(const com::IID& iid, void** out) override;
    com::ULONG AddRef() override;
    com::ULONG Release() override;

    com::HRESULT GetInterfaceSafetyOptions(const com::IID& iid, com::DWORD* supported,
                                           com::DWORD* enabled) override;
    com::HRESULT SetInterfaceSafetyOptions(const com::IID& iid, com::DWORD mask,
                                           com::DWORD enabled) override;
};
