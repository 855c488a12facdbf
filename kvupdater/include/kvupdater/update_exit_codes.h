// Exit codes of the updater, shared with the program that runs it in check mode and waits.
// The update protocol's "mandatory update ready" is 1001, but an exit code carries 8 bits:
// both sides use its low byte, 233, through this one constant.
#pragma once

namespace kvupdater {

// Nothing to do, done, declined, or another updater is already running.
constexpr int kExitOk = 0;
// The run failed, or "--conf" or "--url" is missing.
constexpr int kExitFailure = 1;
// Check mode only: a verified installer or an update page waits, and the update is mandatory.
constexpr int kExitMandatoryUpdateReady = 1001 & 0xFF;

static_assert(kExitMandatoryUpdateReady == 233, "the caller relies on this value");

}  // namespace kvupdater
