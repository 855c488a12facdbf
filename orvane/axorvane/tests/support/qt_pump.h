// The Qt application of a test program and bounded waiting with the event loop running.
#pragma once

#include <QApplication>
#include <functional>

namespace webroadtest {

// Made on first use, named `name`; one per process.
QApplication& App(const char* name = "webroad_tests");
// Runs the event loop until `condition` holds or `limitMs` has passed; the last result.
bool PumpUntil(const std::function<bool()>& condition, int limitMs = 10000);

}  // namespace webroadtest
