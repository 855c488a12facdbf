// Starts the process's KvBT engine for the engine's own tests: 127.0.0.1 only, every
// discovery service and uTP off, on a port chosen at run time. These tests need the engine's
// port, so that a peer of theirs can fetch from its seeding tasks; the shipped start-up
// record takes any free port. The streaming service's tests start the engine as shipped.
#pragma once

#include "kvbt_api.h"

namespace kvbt_testing {

inline int StartLoopbackEngine(int port) {
    KvBT_AddAppSettings(0, 0, "127.0.0.1", 0, 0, "", 0, 0);
    KvBTStartupParams params{0, 0, 0, 0, 0, static_cast<uint16_t>(port), 0};
    return KvBT_Startup(&params, 0, 0, 0);
}

}  // namespace kvbt_testing
