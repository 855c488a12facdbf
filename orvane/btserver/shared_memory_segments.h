// Named shared-memory segments kept open by this process, one object per key.
#pragma once

#include <QByteArray>
#include <QString>

// Creates the segment with the size of `bytes` (or attaches to an existing one) and copies
// the bytes to its start. False when the segment cannot be reached or is smaller than
// `bytes` (a segment keeps the size of its first creation); nothing is copied then.
bool SharedMemoryWrite(const QString& key, const QByteArray& bytes);

// Copies the whole segment into `bytes`; leaves `bytes` unchanged when there is no segment.
void SharedMemoryRead(const QString& key, QByteArray& bytes);

// Lets go of the key's segment.
void SharedMemoryRelease(const QString& key);
