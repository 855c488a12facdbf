#include "player_control.h"

#include <cstdio>

#include "com/create.h"
#include "platform/paths.h"

namespace {

const char kPlayerControlClassId[] = "{14DACFF5-4B08-494b-A580-25F2ED930DA7}";

std::string Hex(com::HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

}  // namespace

com::Ptr<com::IUnknown> CreatePlayerControl(ax::HostWindow& host, std::string& error) {
    com::Ptr<com::IUnknown> control;
    com::HRESULT hr = host.CreateControl(kPlayerControlClassId, control.Put());
    if (hr == com::REGDB_E_CLASSNOTREG) {
        const std::string library = platform::PathAppend(platform::ExecutableDirectory(),
                                                         platform::LinuxFileName("orvane_ax.dll"));
        hr = com::CreateInstanceFromLibrary(library, *com::ParseGuid(kPlayerControlClassId),
                                            nullptr, com::IUnknown::kIid, control.PutVoid());
        if (com::SUCCEEDED(hr)) host.setControl(control.get());
    }
    if (com::FAILED(hr)) {
        error = "the player control cannot be created (" + Hex(hr) + ")";
        if (hr == com::TYPE_E_CANTLOADLIBRARY) error += ": " + com::LastLoadError();
        return nullptr;
    }
    return control;
}
