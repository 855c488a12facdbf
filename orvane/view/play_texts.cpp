#include "play_texts.h"

QString FormatTime(qint64 ms) {
    const qint64 seconds = qMax<qint64>(ms, 0) / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString FormatSize(double bytes) {
    constexpr double kKiB = 1024.0;
    constexpr double kMiB = kKiB * 1024.0;
    constexpr double kGiB = kMiB * 1024.0;
    if (bytes > kGiB) return QStringLiteral("%1 GB").arg(bytes / kGiB, 0, 'f', 2);
    if (bytes > kMiB) return QStringLiteral("%1 MB").arg(bytes / kMiB, 0, 'f', 2);
    if (bytes > kKiB) return QStringLiteral("%1 KB").arg(bytes / kKiB, 0, 'f', 2);
    return QStringLiteral("%1 Bytes").arg(bytes);
}

double BufferPercent(double base, qint64 bytes) {
    double left = static_cast<double>(bytes) / (1024.0 * 1024.0);
    double weight = 50.0 - base;
    double sum = 0.0;
    while (left > 0.0) {
        if (left < 1.0) {
            sum += weight * left;
        } else {
            sum += weight;
            weight /= 2.0;
            // Past about a thousand MiB the weight has run out; the rest adds nothing.
            if (weight == 0.0) break;
        }
        left -= 1.0;
    }
    return sum;
}
