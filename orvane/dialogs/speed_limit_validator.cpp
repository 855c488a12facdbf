#include "speed_limit_validator.h"

#include <algorithm>

#include "speed_limits.h"

QValidator::State SpeedLimitValidator::validate(QString& input, int&) const {
    if (input.isEmpty()) return Intermediate;
    const bool digits =
        std::all_of(input.begin(), input.end(), [](QChar c) { return c >= '0' && c <= '9'; });
    // Longer texts are refused before they are read, so leading zeros cannot pile up either.
    if (!digits || input.size() > 7) return Invalid;
    return input.toInt() <= kMaxSpeedLimitKiB ? Acceptable : Invalid;
}
