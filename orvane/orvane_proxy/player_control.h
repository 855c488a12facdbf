// Making the player control inside the host program's window.
#pragma once

#include <string>

#include "activex/host_window.h"
#include "com/ptr.h"

// Creates the player control in `host` by its class id through the registry or, when the
// class is not registered, straight from the control library beside this program. The
// control, or null with `error` telling why.
com::Ptr<com::IUnknown> CreatePlayerControl(ax::HostWindow& host, std::string& error);
