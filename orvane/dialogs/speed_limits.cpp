#include "speed_limits.h"

#include <QVariant>
#include <algorithm>

#include "app_values.h"

namespace {

int Bytes(const QString& key) {
    const qlonglong kib = AppValue(key).toLongLong();
    return int(std::clamp<qlonglong>(kib, 0, kMaxSpeedLimitKiB)) << 10;
}

}  // namespace

std::pair<int, int> SpeedLimitsFromSettings() {
    if (!AppValue("settings_speed_limit").toBool()) return {0, 0};
    return {Bytes("settings_download_speed"), Bytes("settings_upload_speed")};
}
