// Named shared memory for the one-BT-server marker and the stream base URL.
//
// A segment is a user's own: its key file lives in the user's private runtime folder (so the
// segments of two users never meet, whatever their names), and a segment or key file that
// belongs to another user is never attached, probed or written.
#pragma once

#include <QSharedMemory>
#include <QString>
#include <functional>

namespace platform {

// A shared-memory object for the named segment `key` of the user who runs the process: its
// native key is the file "<key>.segment" in UserRuntimeDir(). Without a runtime folder of the
// user's own, the key stays empty and nothing can be created or attached.
class UserSegment : public QSharedMemory {
public:
    explicit UserSegment(const QString& key);
};

// Runs `work` under the segment's lock across processes: an exclusive flock() on its key file
// (a segment with a key file of its own has no Qt lock). False, without running it, when the
// lock cannot be had.
bool WithSegmentLocked(const QSharedMemory& memory, const std::function<void()>& work);

// Attaches as QSharedMemory::attach does, unless the segment under the key belongs to another
// user (then false without touching it).
bool AttachSegment(QSharedMemory& memory, QSharedMemory::AccessMode mode);

// Creates `size` bytes read-write under the object's key, as QSharedMemory::create does, but
// never fails because the key file maps to a System V key that is not its own: another key
// file's segment (a key is derived from the file's inode number, of which only 16 bits count,
// so on a busy machine a brand-new key file can point at a segment that is not its own) or
// another user's. Such a key file is put aside (it keeps its inode taken) and a new one made.
// True when this object now holds a freshly created segment.
bool CreateSegment(QSharedMemory& memory, int size);

// The probe that makes a named segment exclusive: attach read-only and detach again, twice,
// then create `size` bytes read-write. The detaches remove a segment left behind by a holder
// that crashed, so a dead holder never blocks the next one. True when this object now holds
// a freshly created segment.
bool ProbeAndCreateSegment(QSharedMemory& memory, int size);

}  // namespace platform
