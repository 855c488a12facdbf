// Texts and figures the player view shows while a video opens and plays: play times, byte
// sizes, and the buffering percentage drawn from the bytes a stream has downloaded.
#pragma once

#include <QString>
#include <QtGlobal>

// "h:mm:ss" with as many hour digits as needed; 3723000 ms gives "1:02:03". Negative times
// read as 0.
QString FormatTime(qint64 ms);

// Bytes as "%1 GB", "%1 MB", "%1 KB" (two decimals, above 1 GiB, 1 MiB and 1 KiB) or
// "%1 Bytes".
QString FormatSize(double bytes);

// How far a stream has buffered, on a scale that starts at 0 and approaches 100 - 2 * `base`:
// the first MiB counts 50 - `base` (in proportion), each further MiB half the one before.
// 0 for no bytes.
double BufferPercent(double base, qint64 bytes);
