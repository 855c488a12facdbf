// The Qt application the widget tests need (one per process, made on first use).
#pragma once

#include <QApplication>
#include <functional>

#include "testsupport/loopback.h"

namespace axtest {

inline QApplication& App() {
    static int argc = 1;
    static char name[] = "activex_tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

// Runs the event loop until `condition` holds (bounded).
inline bool PumpUntil(const std::function<bool()>& condition, int limitMs = 30000) {
    return testsupport::WaitUntil(
        [&] {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            return condition();
        },
        std::chrono::milliseconds(limitMs), std::chrono::milliseconds(1));
}

}  // namespace axtest
