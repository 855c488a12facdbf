// Named shared memory for the one-BT-server marker and the stream base URL.
#pragma once

#include <QSharedMemory>
#include <QString>

namespace platform {

// The probe that makes a named segment exclusive: attach read-only and detach again, twice,
// then create `size` bytes read-write. The detaches remove a segment left behind by a holder
// that crashed, so a dead holder never blocks the next one. True when this object now holds
// a freshly created segment.
bool ProbeAndCreateSegment(QSharedMemory& memory, int size);

}  // namespace platform
