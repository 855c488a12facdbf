// The library's exports: DllGetClassObject (and registration) for the engine class.
#include <QtGlobal>
#include <cstdlib>

#include "aplayer/player_engine.h"
#include "com/module.h"
#include "engine_object.h"

namespace {

using namespace com;

HRESULT CreateEngine(const IID& iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const char* text = std::getenv(aplayer::kMpvOptionsVariable);
    const auto options = aplayer::ParseMpvOptions(text ? text : "");
    if (!options) {
        qWarning("%s is not a list of name=value items: %s", aplayer::kMpvOptionsVariable, text);
        return E_INVALIDARG;
    }
    Ptr<aplayer::EngineObject> engine = MakeObject<aplayer::EngineObject>();
    std::string error;
    if (!engine->Start(*options, &error)) {
        qWarning("the playback engine cannot start: %s", error.c_str());
        return E_FAIL;
    }
    return engine->QueryInterface(iid, out);
}

ClassInfo EngineClass() {
    ClassInfo c;
    c.clsid = aplayer::kPlayerEngineClsid;
    c.name = "Playback engine";
    c.create = &CreateEngine;
    return c;
}

Module& ThisModule() {
    static Module module(ServerInfo{}, {EngineClass()});
    return module;
}

}  // namespace

ORVANE_COM_SERVER(ThisModule())
