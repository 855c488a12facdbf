#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <QFile>
#include <QStringList>
#include <cerrno>

namespace platform {

namespace {

// Qt's System V backend derives a segment's key from its key file with this project id.
constexpr int kQtProjectId = 'Q';
// Key files put aside before one maps to a free key; each try costs a file and a lookup.
constexpr int kKeyFileTries = 16;

// Makes the key file when it is missing. True when this call made it: only then can a segment
// under its key belong to some other key file.
bool MakeKeyFile(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0640);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

// Whether a segment already answers to the key of a file that did not exist a moment ago.
bool KeyTakenByAnotherFile(const QByteArray& path) {
    const key_t key = ::ftok(path.constData(), kQtProjectId);
    return key != -1 && (::shmget(key, 0, 0) != -1 || errno == EACCES);
}

}  // namespace

bool CreateSegment(QSharedMemory& memory, int size) {
    const QByteArray path = QFile::encodeName(memory.nativeKey());
    QStringList putAside;
    for (int i = 0; i < kKeyFileTries && MakeKeyFile(path) && KeyTakenByAnotherFile(path); ++i) {
        const QString aside = memory.nativeKey() + QStringLiteral(".taken-%1").arg(i);
        if (!QFile::rename(memory.nativeKey(), aside)) break;
        putAside << aside;
    }
    const bool created = memory.create(size, QSharedMemory::ReadWrite);
    for (const QString& file : putAside) QFile::remove(file);
    return created;
}

bool ProbeAndCreateSegment(QSharedMemory& memory, int size) {
    // Attaching and detaching drops the last reference to a segment whose holder died
    // without detaching; Qt then removes it, and the create below can succeed.
    for (int i = 0; i < 2; ++i) {
        if (memory.attach(QSharedMemory::ReadOnly)) memory.detach();
    }
    return CreateSegment(memory, size);
}

}  // namespace platform
