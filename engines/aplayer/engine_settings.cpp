#include "engine_settings.h"

#include <algorithm>

namespace aplayer {

bool IsReadOnlySetting(int id) {
    return id == setting::kPlayResult || id == setting::kVideoWindow ||
           id == setting::kMediaIndex || id == setting::kSpeedText;
}

std::string MediaIndex(long long durationMs, long long bytes) {
    if (durationMs <= 0 || bytes <= 0) return {};
    const long long items = std::clamp(durationMs / 1000 + 1, 16LL, 4096LL);
    std::string index;
    for (long long i = 0; i < items; ++i) {
        // Scaled in floating point: bytes * i would overflow 64 bits for very large files.
        const double fraction = static_cast<double>(i) / static_cast<double>(items - 1);
        const long long time =
            i + 1 == items ? durationMs : static_cast<long long>(durationMs * fraction);
        const long long offset =
            i + 1 == items ? bytes : static_cast<long long>(static_cast<double>(bytes) * fraction);
        if (!index.empty()) index += ';';
        index += std::to_string(time) + '-' + std::to_string(offset);
    }
    return index;
}

}  // namespace aplayer
