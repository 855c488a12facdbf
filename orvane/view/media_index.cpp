#include "media_index.h"

MediaIndex ParseMediaIndex(const QString& text) {
    MediaIndex index;
    for (const QString& item : text.split(QLatin1Char(';'))) {
        const int dash = item.indexOf(QLatin1Char('-'));
        index.times.append((dash < 0 ? item : item.left(dash)).toInt());
        index.offsets.append(dash < 0 ? 0 : item.mid(dash + 1).toLongLong());
    }
    return index;
}

int TimeForOffset(const MediaIndex& index, qint64 offset) {
    if (index.isEmpty()) return 0;
    int lower = 0;
    int upper = index.offsets.size() - 1;
    int middle = 0;
    while (lower + 1 < upper) {
        middle = (lower + upper) / 2;
        const qint64 at = index.offsets[middle];
        if (at == offset) break;
        if (at > offset)
            upper = middle;
        else
            lower = middle;
    }
    return index.times[middle];
}

namespace {

void AddRange(BufferRanges& ranges, qint64 from, qint64 to, const MediaIndex& index,
              int durationMs) {
    const int start = TimeForOffset(index, from);
    const int end = TimeForOffset(index, to);
    if (end - start <= durationMs / 100) return;
    ranges.append({static_cast<float>(start) / static_cast<float>(durationMs),
                   static_cast<float>(end) / static_cast<float>(durationMs)});
}

}  // namespace

BufferRanges BufferedRanges(const QString& blockMap, qint64 blockLength, const MediaIndex& index,
                            int durationMs) {
    BufferRanges ranges;
    if (durationMs <= 0) return ranges;
    int runStart = -1;
    for (int block = 0; block < blockMap.size(); ++block) {
        const QChar c = blockMap[block];
        if (c == QLatin1Char('1') && runStart < 0) runStart = block;
        if (c == QLatin1Char('0') && runStart >= 0) {
            AddRange(ranges, runStart * blockLength, block * blockLength, index, durationMs);
            runStart = -1;
        }
    }
    if (runStart >= 0)
        AddRange(ranges, runStart * blockLength, qint64(blockMap.size()) * blockLength, index,
                 durationMs);
    return ranges;
}
