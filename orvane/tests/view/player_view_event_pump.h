// Bounded waiting with the event loop running, for the player view's tests: engine events and
// posted messages arrive through the loop.
#pragma once

#include <QCoreApplication>
#include <chrono>
#include <functional>

#include "testsupport/loopback.h"

// Runs the event loop until `condition` holds or `limit` has passed; answers the last result.
inline bool PumpUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(15)) {
    return testsupport::WaitUntil(
        [&] {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            return condition();
        },
        limit, std::chrono::milliseconds(5));
}
