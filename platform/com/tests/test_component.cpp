// A component library for the tests: one class with a dual interface (SetName, Greeting,
// the property Name, Announce that fires OnAnnounced) and an event connection point.
#include "test_component.h"

#include "com/com.h"

namespace {

using namespace com;

class Greeter final : public Object<Greeter, comtest::IGreeter, IConnectionPointContainer> {
public:
    Greeter() {
        events_ = points_.Add(comtest::kGreeterEventsIid);
        map_.AddMethod(
                "SetName", 1, 1,
                [this](const std::vector<Variant>& a, Variant*) { return SetName(a[0].ToBstr()); })
            .AddMethod("Greeting", 2, 0,
                       [this](const std::vector<Variant>&, Variant* r) {
                           Bstr text;
                           HRESULT hr = Greeting(&text);
                           *r = Variant(text);
                           return hr;
                       })
            .AddProperty(
                "Name", 3,
                [this](Variant* v) {
                    *v = Variant(name_);
                    return S_OK;
                },
                [this](const Variant& v) {
                    Variant text = v;
                    if (FAILED(text.ChangeTypeToText())) return DISP_E_TYPEMISMATCH;
                    name_ = text.TextValue();
                    return S_OK;
                })
            .AddMethod("Announce", 4, 1, [this](const std::vector<Variant>& a, Variant*) {
                events_->Fire(comtest::kDispidOnAnnounced,
                              DispParams::FromArgs({a[0], Variant(++sequence_)}));
                return S_OK;
            });
    }

    HRESULT SetName(const Bstr& name) override {
        name_ = name.str();
        return S_OK;
    }
    HRESULT Greeting(Bstr* text) override {
        if (!text) return E_POINTER;
        *text = Bstr("Hello, " + name_ + "!");
        return S_OK;
    }
    HRESULT GetIDsOfNames(const std::string& name, DISPID* id) override {
        return map_.GetIDsOfNames(name, id);
    }
    HRESULT Invoke(DISPID id, WORD flags, const DispParams& params, Variant* result) override {
        return map_.Invoke(id, flags, params, result);
    }
    HRESULT FindConnectionPoint(const IID& events, IConnectionPoint** out) override {
        return points_.Find(events, out);
    }

private:
    std::string name_;
    std::int32_t sequence_ = 0;
    DispatchMap map_;
    ConnectionPoints points_;
    Ptr<ConnectionPoint> events_;
};

ClassInfo GreeterClass() {
    ClassInfo c;
    c.clsid = comtest::kGreeterClsid;
    c.name = "Greeter Class";
    c.progId = comtest::kProgId;
    c.versionIndependentProgId = comtest::kVersionIndependentProgId;
    c.create = Creator<Greeter>();
    return c;
}

Module& ThisModule() {
    static Module module(ServerInfo{comtest::kTypeLib, "Orvane test library", "1.0",
                                    comtest::kAppId, "com_test_component", ""},
                         {GreeterClass()});
    return module;
}

}  // namespace

ORVANE_COM_SERVER(ThisModule())
