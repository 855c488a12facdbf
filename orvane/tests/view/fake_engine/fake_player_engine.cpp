// The recording stand-in of the playback engine: it records every call, keeps the settings it
// is given, and moves between states only as the engine's rules say or as the test tells it.
// Open leaves state 0 at once and reports it; Play moves a paused media to 5 and Pause a
// playing one to 3; Close goes to 0 silently.
#include <QPointer>
#include <QWidget>
#include <map>

#include "activex/widget_object.h"
#include "aplayer/player_engine.h"
#include "com/connection_point.h"
#include "com/module.h"
#include "com/object.h"
#include "fake_engine_control.h"

namespace {

using namespace com;

class FakeEngine final
    : public Object<FakeEngine, aplayer::IPlayerEngine, IConnectionPointContainer,
                    ax::IWidgetObject, IFakeEngineControl> {
public:
    FakeEngine() { events_ = points_.Add(aplayer::kPlayerEngineEventsIid); }

    HRESULT Open(const Bstr& url) override {
        Record("Open " + url.str());
        ChangeState(1);
        return S_OK;
    }
    HRESULT Close() override {
        Record("Close");
        state_ = 0;
        return S_OK;
    }
    HRESULT Play() override {
        Record("Play");
        if (state_ == 3) ChangeState(5);
        return S_OK;
    }
    HRESULT Pause() override {
        Record("Pause");
        if (state_ == 5) ChangeState(3);
        return S_OK;
    }
    HRESULT Reserved1() override { return E_NOTIMPL; }
    HRESULT SetLogo(const void*) override { return S_OK; }
    HRESULT GetState(LONG* state) override { return Answer(state, state_); }
    HRESULT GetDuration(LONG* ms) override { return Answer(ms, duration_); }
    HRESULT GetPosition(LONG* ms) override { return Answer(ms, position_); }
    HRESULT SetPosition(LONG ms, LONG* result) override {
        Record("SetPosition " + std::to_string(ms));
        position_ = ms;
        return Answer(result, 1);
    }
    HRESULT Reserved2() override { return E_NOTIMPL; }
    HRESULT Reserved3() override { return E_NOTIMPL; }
    HRESULT Reserved4() override { return E_NOTIMPL; }
    HRESULT SetVolume(LONG volume, LONG* result) override {
        Record("SetVolume " + std::to_string(volume));
        return Answer(result, 1);
    }
    HRESULT Reserved5() override { return E_NOTIMPL; }
    HRESULT GetBufferState(LONG* state) override { return Answer(state, bufferState_); }
    HRESULT GetConfig(LONG id, Bstr* value) override {
        if (!value) return E_POINTER;
        const auto it = settings_.find(id);
        *value = Bstr(it == settings_.end() ? std::string() : it->second);
        return S_OK;
    }
    HRESULT SetConfig(LONG id, const Bstr& value, LONG* result) override {
        Record("SetConfig " + std::to_string(id) + "=" + value.str());
        settings_[id] = value.str();
        return Answer(result, 1);
    }

    HRESULT GetIDsOfNames(const std::string&, DISPID* id) override {
        if (id) *id = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT Invoke(DISPID, WORD, const DispParams&, Variant*) override {
        return DISP_E_MEMBERNOTFOUND;
    }

    HRESULT FindConnectionPoint(const IID& events, IConnectionPoint** out) override {
        return points_.Find(events, out);
    }

    QWidget* ControlWidget() override {
        if (!window_) window_ = new QWidget;
        return window_;
    }

    std::vector<std::string> Calls() const override { return calls_; }
    void ClearCalls() override { calls_.clear(); }
    void SetMedia(int durationMs, int positionMs, int bufferState) override {
        duration_ = durationMs;
        position_ = positionMs;
        bufferState_ = bufferState;
    }
    void SetConfigValue(int id, const std::string& value) override { settings_[id] = value; }
    void ChangeState(int state) override {
        if (state == state_) return;
        const int old = state_;
        state_ = state;
        Fire(aplayer::kDispidOnStateChanged, {old, state});
    }
    void Fire(DISPID id, const std::vector<int>& args) override {
        std::vector<Variant> values(args.begin(), args.end());
        Ptr<ConnectionPoint> point = events_;
        point->Fire(id, DispParams::FromArgs(std::move(values)));
    }

private:
    ~FakeEngine() override { delete window_.data(); }

    static HRESULT Answer(LONG* out, LONG value) {
        if (!out) return E_POINTER;
        *out = value;
        return S_OK;
    }
    void Record(std::string call) { calls_.push_back(std::move(call)); }

    ConnectionPoints points_;
    Ptr<ConnectionPoint> events_;
    QPointer<QWidget> window_;
    std::vector<std::string> calls_;
    std::map<LONG, std::string> settings_;
    LONG state_ = 0;
    LONG duration_ = 0;
    LONG position_ = 0;
    LONG bufferState_ = -1;
};

HRESULT CreateEngine(const IID& iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return MakeObject<FakeEngine>()->QueryInterface(iid, out);
}

ClassInfo EngineClass() {
    ClassInfo c;
    c.clsid = aplayer::kPlayerEngineClsid;
    c.name = "Recording playback engine";
    c.create = &CreateEngine;
    return c;
}

Module& ThisModule() {
    static Module module(ServerInfo{}, {EngineClass()});
    return module;
}

}  // namespace

ORVANE_COM_SERVER(ThisModule())
