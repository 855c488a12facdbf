// The service started the way the BT server routine starts it: the same exported call with
// the same values, so that the engine runs with the start-up record the product ships.
#pragma once

#include "ferrule_api.h"

namespace stream_testing {

inline void StartShippedService(int port) { ZP2PInitServer(port, 0, 0, "", 0, 0, "", 0, 0); }

}  // namespace stream_testing
