#include "play_request.h"

#include <QDateTime>
#include <climits>
#include <cmath>

int ResumePosition(const QVariant& pos) {
    if (!pos.isValid() || pos.type() == QVariant::Bool) return 0;
    bool ok = false;
    const double ms = pos.toDouble(&ok);
    if (!ok || !std::isfinite(ms) || ms <= 0) return 0;
    return ms >= INT_MAX ? INT_MAX : static_cast<int>(ms);
}

QString WatchTime() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
}
