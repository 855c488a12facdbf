// The engine's event sink: an IDispatch that lives inside the player view and turns each
// event call into the matching callback of its handler.
#pragma once

#include "com/interfaces.h"

class CPlayerEventHandler;

class CPlayerSink final : public com::IDispatch {
public:
    CPlayerSink() = default;
    ~CPlayerSink() override = default;
    CPlayerSink(const CPlayerSink&) = delete;
    CPlayerSink& operator=(const CPlayerSink&) = delete;

    // Events arriving while there is no handler are dropped.
    void SetHandler(CPlayerEventHandler* handler) { handler_ = handler; }

    // The sink is a member of its view and counts no references: it answers itself for every
    // interface, and AddRef and Release only report 1 and 0.
    com::HRESULT QueryInterface(const com::IID& iid, void** out) override;
    com::ULONG AddRef() override { return 1; }
    com::ULONG Release() override { return 0; }

    com::HRESULT GetIDsOfNames(const std::string& name, com::DISPID* id) override;
    // Runs the callback of the event id when the argument count is the event's own; anything
    // else is dropped. Always S_OK, whatever the callback answers.
    com::HRESULT Invoke(com::DISPID id, com::WORD flags, const com::DispParams& params,
                        com::Variant* result) override;

private:
    CPlayerEventHandler* handler_ = nullptr;
};
