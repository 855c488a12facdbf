#include "engine_object.h"

#include "video_window.h"

namespace aplayer {

using namespace com;

EngineObject::EngineObject() { events_ = points_.Add(kPlayerEngineEventsIid); }

bool EngineObject::Start(const MpvOptionList& extraOptions, std::string* error) {
    engine_ = MpvEngine::Create(this, extraOptions, error);
    return engine_ != nullptr;
}

EngineObject::~EngineObject() {
    if (!engine_) return;
    engine_->SetEvents(nullptr);
    engine_->Close();
    // The last reference went while the engine was delivering an event (a sink released it):
    // the engine is still running that delivery, so it goes once control returns to the loop.
    if (engine_->Delivering()) engine_.release()->deleteLater();
}

HRESULT EngineObject::Open(const Bstr& url) {
    engine_->Open(url.str());
    return S_OK;
}

HRESULT EngineObject::Close() {
    engine_->Close();
    return S_OK;
}

HRESULT EngineObject::Play() { return engine_->Play() ? S_OK : S_FALSE; }

HRESULT EngineObject::Pause() { return engine_->Pause() ? S_OK : S_FALSE; }

HRESULT EngineObject::SetLogo(const void*) { return S_OK; }

HRESULT EngineObject::GetState(LONG* state) {
    if (!state) return E_POINTER;
    *state = engine_->State();
    return S_OK;
}

HRESULT EngineObject::GetDuration(LONG* ms) {
    if (!ms) return E_POINTER;
    *ms = engine_->DurationMs();
    return S_OK;
}

HRESULT EngineObject::GetPosition(LONG* ms) {
    if (!ms) return E_POINTER;
    *ms = engine_->PositionMs();
    return S_OK;
}

HRESULT EngineObject::SetPosition(LONG ms, LONG* result) {
    if (result) *result = 0;
    if (ms < 0) return E_INVALIDARG;
    const bool accepted = engine_->SetPosition(ms);
    if (result) *result = accepted ? 1 : 0;
    return S_OK;
}

HRESULT EngineObject::SetVolume(LONG volume, LONG* result) {
    if (result) *result = 0;
    if (volume < 0 || volume > 100) return E_INVALIDARG;
    const bool accepted = engine_->SetVolume(volume);
    if (result) *result = accepted ? 1 : 0;
    return accepted ? S_OK : E_FAIL;
}

HRESULT EngineObject::GetBufferState(LONG* state) {
    if (!state) return E_POINTER;
    *state = engine_->BufferState();
    return S_OK;
}

HRESULT EngineObject::GetConfig(LONG id, Bstr* value) {
    if (!value) return E_POINTER;
    *value = Bstr(engine_->GetConfig(id));
    return S_OK;
}

HRESULT EngineObject::SetConfig(LONG id, const Bstr& value, LONG* result) {
    const bool accepted = engine_->SetConfig(id, value.str());
    if (result) *result = accepted ? 1 : 0;
    return S_OK;
}

HRESULT EngineObject::GetIDsOfNames(const std::string&, DISPID* id) {
    if (id) *id = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT EngineObject::Invoke(DISPID, WORD, const DispParams&, Variant*) {
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT EngineObject::FindConnectionPoint(const IID& events, IConnectionPoint** out) {
    return points_.Find(events, out);
}

QWidget* EngineObject::ControlWidget() { return engine_->Window(); }

void EngineObject::Fire(DISPID id, std::vector<Variant> args) {
    // A sink may release the last reference to this object while it handles the event; the
    // point lives on through this reference, and nothing of this object is used afterwards.
    Ptr<ConnectionPoint> point = events_;
    point->Fire(id, DispParams::FromArgs(std::move(args)));
}

void EngineObject::OnMessage(int message, int wParam, std::int32_t lParam) {
    Fire(kDispidOnMessage, {message, wParam, lParam});
}

void EngineObject::OnStateChanged(int oldState, int newState) {
    Fire(kDispidOnStateChanged, {oldState, newState});
}

void EngineObject::OnOpenSucceeded() { Fire(kDispidOnOpenSucceeded, {}); }

void EngineObject::OnSeekCompleted(int positionMs) { Fire(kDispidOnSeekCompleted, {positionMs}); }

void EngineObject::OnBuffer(int percent) { Fire(kDispidOnBuffer, {percent}); }

void EngineObject::OnVideoSizeChanged() { Fire(kDispidOnVideoSizeChanged, {}); }

}  // namespace aplayer
