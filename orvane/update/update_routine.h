// Running the updater in check mode, and the general process starter it uses.
#pragma once

#include <QString>
#include <memory>

#include "platform/process.h"

// Starts `program` with the command line of `program`, quoted by the command-line rules,
// then `arguments`; the argument text is passed unchanged. `show` is accepted and has no
// effect on X11. Null when the program cannot be started. The caller owns the answered
// process.
std::unique_ptr<platform::Process> RunProcess(const QString& program, const QString& arguments,
                                              bool show);

// Runs the updater in check mode and waits for it. False when it reports that a mandatory
// update is ready; true for every other outcome (including an updater that is missing or
// crashed), so a broken updater never holds the player back.
bool RunUpdater();
