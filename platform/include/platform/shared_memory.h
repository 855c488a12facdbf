// Named shared memory for the one-BT-server marker and the stream base URL.
#pragma once

#include <QSharedMemory>
#include <QString>

namespace platform {

// Creates `size` bytes read-write under the object's key, as QSharedMemory::create does, but
// never fails because another segment's key file happens to map to the same System V key.
// Such a key is derived from the key file's inode number, of which only 16 bits count, so on
// a busy machine a brand-new key file can point at a segment that is not its own; the file is
// then put aside (it keeps its inode taken) and a new one made. True when this object now
// holds a freshly created segment.
bool CreateSegment(QSharedMemory& memory, int size);

// The probe that makes a named segment exclusive: attach read-only and detach again, twice,
// then create `size` bytes read-write. The detaches remove a segment left behind by a holder
// that crashed, so a dead holder never blocks the next one. True when this object now holds
// a freshly created segment.
bool ProbeAndCreateSegment(QSharedMemory& memory, int size);

}  // namespace platform
