#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QStringList>
#include <cerrno>

#include "file_lock.h"
#include "platform/paths.h"

namespace platform {

namespace {

// Qt's System V backend derives a segment's key from its key file with this project id.
constexpr int kQtProjectId = 'Q';
// Key files put aside before one maps to a free key; each try costs a file and a lookup.
constexpr int kKeyFileTries = 16;

// Makes the key file when it is missing. True when this call made it: only then can a segment
// under its key belong to some other key file.
bool MakeKeyFile(const QByteArray& path) {
    const int fd =
        ::open(path.constData(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

// Whether a segment already answers to the key of a file that did not exist a moment ago.
bool KeyTakenByAnotherFile(const QByteArray& path) {
    const key_t key = ::ftok(path.constData(), kQtProjectId);
    return key != -1 && (::shmget(key, 0, 0) != -1 || errno == EACCES);
}

// Whether the key file, or the segment under its key, is another user's. Only the owner may
// even look at a segment made private (EACCES); the super-user sees the owner instead.
bool KeyOfAnotherUser(const QByteArray& path) {
    struct stat file {};
    if (::lstat(path.constData(), &file) != 0) return false;
    if (!S_ISREG(file.st_mode) || file.st_uid != ::geteuid()) return true;
    const key_t key = ::ftok(path.constData(), kQtProjectId);
    if (key == -1) return false;
    const int id = ::shmget(key, 0, 0);
    if (id == -1) return errno == EACCES;
    shmid_ds segment{};
    if (::shmctl(id, IPC_STAT, &segment) != 0) return errno == EACCES;
    return segment.shm_perm.uid != ::geteuid();
}

}  // namespace

UserSegment::UserSegment(const QString& key) {
    const std::string folder = UserRuntimeDir();
    if (!folder.empty()) setNativeKey(QString::fromStdString(folder) + '/' + key + ".segment");
}

bool WithSegmentLocked(const QSharedMemory& memory, const std::function<void()>& work) {
    if (memory.nativeKey().isEmpty()) return false;
    const ExclusiveFileLock lock(QFile::encodeName(memory.nativeKey()).toStdString(), 0600);
    if (!lock.locked()) return false;
    work();
    return true;
}

bool AttachSegment(QSharedMemory& memory, QSharedMemory::AccessMode mode) {
    if (KeyOfAnotherUser(QFile::encodeName(memory.nativeKey()))) return false;
    return memory.attach(mode);
}

bool CreateSegment(QSharedMemory& memory, int size) {
    const QByteArray path = QFile::encodeName(memory.nativeKey());
    QStringList putAside;
    for (int i = 0; i < kKeyFileTries; ++i) {
        const bool made = MakeKeyFile(path);
        if (!(made ? KeyTakenByAnotherFile(path) : KeyOfAnotherUser(path))) break;
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
        if (AttachSegment(memory, QSharedMemory::ReadOnly)) memory.detach();
    }
    return CreateSegment(memory, size);
}

}  // namespace platform
