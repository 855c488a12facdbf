#include "bt_server_test_support.h"

#include <dlfcn.h>

#include <filesystem>

#include "app_values.h"
#include "pipe_client.h"
#include "platform/shared_memory.h"
#include "streaming_library.h"
#include "testsupport/loopback.h"

namespace fs = std::filesystem;

PipeTestEnvironment::PipeTestEnvironment() { fs::create_directories(temp.file("hosts")); }

PipeTestEnvironment::~PipeTestEnvironment() { ReleaseStaleSegments(); }

void ReleaseStaleSegments() {
    for (const char* key : {"btserver", "bturl"}) {
        platform::UserSegment segment(QString::fromLatin1(key));
        for (int i = 0; i < 2; ++i) {
            if (platform::AttachSegment(segment, QSharedMemory::ReadOnly)) segment.detach();
        }
    }
}

QStringList PipeTestEnvironment::FakeCalls() const {
    return QString::fromStdString(testsupport::ReadFile(fakeLog)).split('\n', Qt::SkipEmptyParts);
}

std::string PipeTestEnvironment::MakeInstallFolder(const std::string& name,
                                                   const std::string& ferrule,
                                                   const std::vector<std::string>& moreLibraries) {
    const fs::path bin = temp.file(name);
    fs::create_directories(bin);
    const auto copy = [&](const std::string& from, const std::string& to) {
        fs::copy_file(from, bin / to, fs::copy_options::overwrite_existing);
    };
    copy(ORVANE_DESKTOP_PROGRAM, "orvane");
    copy(ORVANE_AX_LIBRARY, "liborvane_ax.so");
    copy(ORVANE_TEST_HELPER, "orvane_proxy");
    if (!ferrule.empty()) copy(ferrule, "libFerrule.so");
    for (const std::string& library : moreLibraries)
        copy(library, fs::path(library).filename().string());
    return bin.string();
}

std::vector<QStringList> PipeTestEnvironment::HostProgramStarts() const {
    std::vector<QStringList> starts;
    for (const auto& entry : fs::directory_iterator(temp.file("hosts"))) {
        if (entry.path().extension() != ".txt") continue;
        starts.push_back(QString::fromStdString(testsupport::ReadFile(entry.path().string()))
                             .split('\n', Qt::SkipEmptyParts));
    }
    return starts;
}

FakeStreamingLibraryInProcess::FakeStreamingLibraryInProcess(const QString& btUrl)
    : handle_(dlopen(ORVANE_FAKE_FERRULE, RTLD_NOW | RTLD_LOCAL)) {
    EXPECT_NE(handle_, nullptr) << dlerror();
    SetStreamingLibraryHandle(handle_);
    SetAppValue("bturl", btUrl);
}

FakeStreamingLibraryInProcess::~FakeStreamingLibraryInProcess() {
    SetStreamingLibraryHandle(nullptr);
    RemoveAppValue("bturl");
    if (handle_) dlclose(handle_);
}

int FakeStreamingLibraryInProcess::LivePieceMaps() const {
    const auto live =
        handle_ ? reinterpret_cast<int (*)()>(dlsym(handle_, "FakeFerruleLivePieceMaps")) : nullptr;
    return live ? live() : -1;
}

quint32 ReadLe32(const QByteArray& bytes, int at) {
    quint32 v = 0;
    for (int i = 0; i < 4; ++i) v |= quint32(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return v;
}

BtServerProcess::BtServerProcess(const std::string& installFolder, const std::string& workFolder) {
    process_.setProcessChannelMode(QProcess::ForwardedChannels);
    process_.setWorkingDirectory(
        QString::fromStdString(workFolder.empty() ? installFolder : workFolder));
    process_.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    process_.start(QString::fromStdString(installFolder + "/orvane"), {"-startbt"});
    EXPECT_TRUE(process_.waitForStarted(10000)) << installFolder;
}

BtServerProcess::~BtServerProcess() { Kill(); }

bool BtServerProcess::WaitForEnd(int ms) {
    return process_.state() == QProcess::NotRunning || process_.waitForFinished(ms);
}

void BtServerProcess::Kill() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished(10000);
}

std::string PipeRequest(const std::string& request) {
    char* raw = nullptr;
    // Bounded, but generously: an answer is expected and the machine may be busy.
    const bool ok = PipeCall(kBtServerPipeName, request.c_str(), &raw, 30000);
    const PipeReply reply(raw);
    return ok ? std::string(reply.get()) : std::string("<no reply>");
}

std::string WaitForBtServer() {
    std::string reply;
    testsupport::WaitUntil([&] {
        reply = PipeRequest("bturl::");
        return reply != "<no reply>";
    });
    return reply;
}
