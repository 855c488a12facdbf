// What every connection of the service shares. All of it is used on the one I/O thread.
#pragma once

#include <chrono>

#include "options.h"
#include "request_log.h"
#include "router.h"

namespace webservice {

struct ServiceState {
    ServiceState(const Options& o, int port) : options(o), router(o, port) {}

    Options options;
    Router router;
    RequestLog log;
    int openConnections = 0;

    std::chrono::milliseconds ReadTimeout() const {
        return std::chrono::milliseconds(options.readTimeoutMs);
    }
};

}  // namespace webservice
