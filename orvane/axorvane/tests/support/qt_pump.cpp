#include "qt_pump.h"

#include <chrono>

#include "testsupport/loopback.h"

namespace webroadtest {

QApplication& App(const char* name) {
    static int argc = 1;
    static char* argv[] = {const_cast<char*>(name), nullptr};
    static QApplication app(argc, argv);
    return app;
}

bool PumpUntil(const std::function<bool()>& condition, int limitMs) {
    return testsupport::WaitUntil(
        [&] {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            return condition();
        },
        std::chrono::milliseconds(limitMs), std::chrono::milliseconds(2));
}

}  // namespace webroadtest
