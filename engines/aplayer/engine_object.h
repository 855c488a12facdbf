// The engine as a component: IPlayerEngine over MpvEngine, its events through a connection
// point, and its video window for the host through IWidgetObject.
#pragma once

#include <memory>
#include <string>

#include "activex/widget_object.h"
#include "aplayer/player_engine.h"
#include "com/connection_point.h"
#include "com/object.h"
#include "engine_events.h"
#include "mpv_engine.h"

namespace aplayer {

class EngineObject final : public com::Object<EngineObject, IPlayerEngine,
                                              com::IConnectionPointContainer, ax::IWidgetObject>,
                           private EngineEvents {
public:
    EngineObject();
    // Starts mpv with the base options and `extraOptions`; false with `error` set on failure.
    bool Start(const MpvOptionList& extraOptions, std::string* error);

    // IPlayerEngine
    com::HRESULT Open(const com::Bstr& url) override;
    com::HRESULT Close() override;
    com::HRESULT Play() override;
    com::HRESULT Pause() override;
    com::HRESULT Reserved1() override { return com::E_NOTIMPL; }
    com::HRESULT SetLogo(const void* bitmap) override;
    com::HRESULT GetState(com::LONG* state) override;
    com::HRESULT GetDuration(com::LONG* ms) override;
    com::HRESULT GetPosition(com::LONG* ms) override;
    com::HRESULT SetPosition(com::LONG ms, com::LONG* result) override;
    com::HRESULT Reserved2() override { return com::E_NOTIMPL; }
    com::HRESULT Reserved3() override { return com::E_NOTIMPL; }
    com::HRESULT Reserved4() override { return com::E_NOTIMPL; }
    com::HRESULT SetVolume(com::LONG volume, com::LONG* result) override;
    com::HRESULT Reserved5() override { return com::E_NOTIMPL; }
    com::HRESULT GetBufferState(com::LONG* state) override;
    com::HRESULT GetConfig(com::LONG id, com::Bstr* value) override;
    com::HRESULT SetConfig(com::LONG id, const com::Bstr& value, com::LONG* result) override;

    // IDispatch: the engine is driven through its interface only.
    com::HRESULT GetIDsOfNames(const std::string& name, com::DISPID* id) override;
    com::HRESULT Invoke(com::DISPID id, com::WORD flags, const com::DispParams& params,
                        com::Variant* result) override;

    // IConnectionPointContainer
    com::HRESULT FindConnectionPoint(const com::IID& events, com::IConnectionPoint** out) override;

    // ax::IWidgetObject
    QWidget* ControlWidget() override;

private:
    ~EngineObject() override;

    // EngineEvents: each becomes a call of the advised sinks.
    void OnMessage(int message, int wParam, std::int32_t lParam) override;
    void OnStateChanged(int oldState, int newState) override;
    void OnOpenSucceeded() override;
    void OnSeekCompleted(int positionMs) override;
    void OnBuffer(int percent) override;
    void OnVideoSizeChanged() override;
    void Fire(com::DISPID id, std::vector<com::Variant> args);

    std::unique_ptr<MpvEngine> engine_;
    com::ConnectionPoints points_;
    com::Ptr<com::ConnectionPoint> events_;
};

}  // namespace aplayer
