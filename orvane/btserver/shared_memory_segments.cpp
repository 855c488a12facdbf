#include "shared_memory_segments.h"

#include <QMap>
#include <QSharedMemory>
#include <cstring>
#include <memory>

#include "platform/shared_memory.h"

namespace {

QMap<QString, std::shared_ptr<QSharedMemory>>& Segments() {
    static QMap<QString, std::shared_ptr<QSharedMemory>> segments;
    return segments;
}

QSharedMemory& SegmentFor(const QString& key) {
    auto& segment = Segments()[key];
    if (!segment) segment = std::make_shared<QSharedMemory>(key);
    return *segment;
}

}  // namespace

bool SharedMemoryWrite(const QString& key, const QByteArray& bytes) {
    QSharedMemory& memory = SegmentFor(key);
    if (!platform::CreateSegment(memory, bytes.size()) && !memory.isAttached())
        memory.attach(QSharedMemory::ReadWrite);
    if (!memory.isAttached() || memory.size() < bytes.size()) return false;
    if (!memory.lock()) return false;
    std::memcpy(memory.data(), bytes.constData(), static_cast<size_t>(bytes.size()));
    return memory.unlock();
}

void SharedMemoryRead(const QString& key, QByteArray& bytes) {
    QSharedMemory& memory = SegmentFor(key);
    if (!memory.isAttached() && !memory.attach(QSharedMemory::ReadOnly)) {
        Segments().remove(key);
        return;
    }
    if (!memory.lock()) return;
    if (memory.size() > 0)
        bytes = QByteArray(static_cast<const char*>(memory.constData()), memory.size());
    memory.unlock();
}

void SharedMemoryRelease(const QString& key) { Segments().remove(key); }
