// The engine started on loopback with every discovery service off, before the service's own
// start-up call (which then finds it running and leaves it so). No test may reach the
// network.
#pragma once

#include "kvbt_api.h"

namespace stream_testing {

inline void StartOfflineEngine() {
    KvBT_AddAppSettings(0, 0, "127.0.0.1", 0, 0, "", 0, 0);
    KvBTStartupParams offline = {0, 0, 0, 0, 0, 0, 0};
    KvBT_Startup(&offline, 0, 0, 0);
}

}  // namespace stream_testing
