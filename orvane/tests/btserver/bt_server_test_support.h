// What the pipe and BT server tests share: a private runtime folder (the pipe, the
// shared-memory markers) and temporary folder, the log of the stand-in streaming library, an
// install folder of our own, and BT server processes started from it.
#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "testsupport/temp_dir.h"

class PipeTestEnvironment : public ::testing::Test {
protected:
    testsupport::TempDir temp;
    testsupport::ScopedEnv runtimeDir{"XDG_RUNTIME_DIR", temp.path()};
    testsupport::ScopedEnv tmpDir{"TMPDIR", temp.path()};
    std::string fakeLog = temp.file("ferrule-calls.log");
    testsupport::ScopedEnv fakeLogEnv{"ORVANE_FAKE_FERRULE_LOG", fakeLog};
    testsupport::ScopedEnv hostRecordEnv{"ORVANE_PROXY_RECORD_DIR", temp.file("hosts")};

    PipeTestEnvironment();
    // Removes the segments that killed BT servers left behind (ReleaseStaleSegments).
    ~PipeTestEnvironment() override;

    // Lines the stand-in streaming library has logged so far, in order.
    QStringList FakeCalls() const;

    // Makes <temp>/<name> an install folder: the desktop program, the control library, the
    // streaming library `ferrule` (none when empty) and the host program stand-in (which
    // records to <temp>/hosts). Answers the folder.
    std::string MakeInstallFolder(const std::string& name, const std::string& ferrule,
                                  const std::vector<std::string>& moreLibraries = {});
    // Arguments of every host program started so far, one list per start.
    std::vector<QStringList> HostProgramStarts() const;
};

// Removes the segments "btserver" and "bturl" that killed BT servers left behind, while their
// key files in the runtime folder still exist: once the folder is gone nothing can reach them, and a later
// key file that gets the same inode number would find its name taken (the next probe would see
// a BT server that does not exist).
void ReleaseStaleSegments();

// The stand-in streaming library as this process's streaming library, and the value
// "bturl", for the object's lifetime.
class FakeStreamingLibraryInProcess {
public:
    explicit FakeStreamingLibraryInProcess(const QString& btUrl);
    ~FakeStreamingLibraryInProcess();
    FakeStreamingLibraryInProcess(const FakeStreamingLibraryInProcess&) = delete;
    FakeStreamingLibraryInProcess& operator=(const FakeStreamingLibraryInProcess&) = delete;

    bool Loaded() const { return handle_ != nullptr; }
    // Piece maps handed out by the library and not yet freed.
    int LivePieceMaps() const;

private:
    void* handle_;
};

// The little-endian 32-bit number at `at`.
quint32 ReadLe32(const QByteArray& bytes, int at);

// An "orvane -startbt" process, killed when the object goes.
class BtServerProcess {
public:
    explicit BtServerProcess(const std::string& installFolder,
                             const std::string& workFolder = std::string());
    ~BtServerProcess();
    BtServerProcess(const BtServerProcess&) = delete;
    BtServerProcess& operator=(const BtServerProcess&) = delete;

    qint64 Pid() const { return process_.processId(); }
    // True when the process ended within `ms`.
    bool WaitForEnd(int ms = 10000);
    int ExitCode() const { return process_.exitCode(); }
    void Kill();

private:
    QProcess process_;
};

// The reply to one pipe request, or "<no reply>" when the exchange failed.
std::string PipeRequest(const std::string& request);
// Waits (bounded) until the pipe answers "bturl::"; answers the reply.
std::string WaitForBtServer();
