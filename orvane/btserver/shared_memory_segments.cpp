#include "shared_memory_segments.h"

#include <QMap>
#include <cstring>
#include <memory>

#include "platform/shared_memory.h"

namespace {

QMap<QString, std::shared_ptr<platform::UserSegment>>& Segments() {
    static QMap<QString, std::shared_ptr<platform::UserSegment>> segments;
    return segments;
}

QSharedMemory& SegmentFor(const QString& key) {
    auto& segment = Segments()[key];
    if (!segment) segment = std::make_shared<platform::UserSegment>(key);
    return *segment;
}

// A new object in place of the key's old one.
QSharedMemory& FreshSegmentFor(const QString& key) {
    auto& segment = Segments()[key];
    segment = std::make_shared<platform::UserSegment>(key);
    return *segment;
}

}  // namespace

bool SharedMemoryWrite(const QString& key, const QByteArray& bytes) {
    QSharedMemory* memory = &SegmentFor(key);
    if (!memory->isAttached() && !platform::CreateSegment(*memory, bytes.size())) {
        // The segment exists already. Qt's object of a segment in a private folder cannot
        // attach once its own create has failed; a fresh one can.
        memory = &FreshSegmentFor(key);
        platform::AttachSegment(*memory, QSharedMemory::ReadWrite);
    }
    if (!memory->isAttached() || memory->size() < bytes.size()) return false;
    return platform::WithSegmentLocked(*memory, [&] {
        std::memcpy(memory->data(), bytes.constData(), static_cast<size_t>(bytes.size()));
    });
}

void SharedMemoryRead(const QString& key, QByteArray& bytes) {
    QSharedMemory& memory = SegmentFor(key);
    if (!memory.isAttached() && !platform::AttachSegment(memory, QSharedMemory::ReadOnly)) {
        Segments().remove(key);
        return;
    }
    platform::WithSegmentLocked(memory, [&] {
        if (memory.size() > 0)
            bytes = QByteArray(static_cast<const char*>(memory.constData()), memory.size());
    });
}

void SharedMemoryRelease(const QString& key) { Segments().remove(key); }
