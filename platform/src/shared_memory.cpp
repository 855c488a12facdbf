#include "platform/shared_memory.h"

namespace platform {

bool ProbeAndCreateSegment(QSharedMemory& memory, int size) {
    // Attaching and detaching drops the last reference to a segment whose holder died
    // without detaching; Qt then removes it, and the create below can succeed.
    for (int i = 0; i < 2; ++i) {
        if (memory.attach(QSharedMemory::ReadOnly)) memory.detach();
    }
    return memory.create(size, QSharedMemory::ReadWrite);
}

}  // namespace platform
