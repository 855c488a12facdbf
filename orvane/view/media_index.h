// The media index that the engine reports for an open video (times and the byte offsets
// where they begin), and the buffered parts of a stream turned into fractions of the play.
#pragma once

#include <QString>
#include <QVector>

#include "buffer_slider.h"

struct MediaIndex {
    QVector<int> times;       // milliseconds
    QVector<qint64> offsets;  // bytes, parallel to times

    bool isEmpty() const { return times.isEmpty(); }
    void clear() {
        times.clear();
        offsets.clear();
    }
};

// Items "ms-offset" separated by ";" (empty items kept). A time that is not a number reads
// as 0, and so does an offset.
MediaIndex ParseMediaIndex(const QString& text);

// The time at which the media reaches byte `offset`, found by bisection over the offsets:
// 0 without entries, the first entry's time with fewer than three.
int TimeForOffset(const MediaIndex& index, qint64 offset);

// The runs of "1" in `blockMap` (one character per block of `blockLength` bytes) as parts of
// the play, each (start, end) a fraction of `durationMs`. Runs that last no longer than a
// hundredth of the play are left out. A duration of 0 or less gives no parts.
BufferRanges BufferedRanges(const QString& blockMap, qint64 blockLength, const MediaIndex& index,
                            int durationMs);
