// ferrule_stream_bench: start-up and streaming figures of the service against a loopback
// seeder in another process, as medians of several fresh runs.
//
//   ferrule_stream_bench [--runs N] [--size BYTES] [--seeder PATH]
//
// For each piece size (1 MiB, 256 KiB) it prints: request to first byte for a new video at
// offsets 0, 50% and 90%; a seek to 90% inside the open task; sequential read speed; and the
// peak resident memory of this process (service and client; the seeder runs apart).
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app_settings.h"
#include "ferrule_api.h"
#include "file_utils.h"
#include "server_test_http.h"
#include "stream_test_engine.h"
#include "testsupport/loopback.h"
#include "testsupport/temp_dir.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// The seeder process: generates the data, makes the torrent and seeds it.
class SeederProcess {
public:
    SeederProcess(const std::string& program, const std::string& folder, long long size,
                  int pieceSize) {
        torrent_ = folder + "/video.torrent";
        int out[2], in[2];
        if (::pipe(out) != 0 || ::pipe(in) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, in[1]);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const std::string piece = std::to_string(pieceSize);
        const std::string bytes = std::to_string(size);
        const std::string content = folder + "/video.bin";
        const char* argv[] = {program.c_str(), "--piece-size",  piece.c_str(),    "--generate",
                              bytes.c_str(),   content.c_str(), torrent_.c_str(), nullptr};
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, const_cast<char**>(argv),
                        environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        stdin_ = in[1];
        std::string text;
        char buf[256];
        ssize_t n;
        while (text.find("torrent ") == std::string::npos &&
               (n = ::read(out[0], buf, sizeof(buf))) > 0) {
            text.append(buf, static_cast<std::size_t>(n));
        }
        ::close(out[0]);
        const std::size_t at = text.find("port ");
        if (at != std::string::npos) port_ = std::atoi(text.c_str() + at + 5);
    }
    ~SeederProcess() {
        if (stdin_ >= 0) ::close(stdin_);
        if (pid_ > 0) {
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }
    int port() const { return port_; }
    const std::string& torrent() const { return torrent_; }

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    int port_ = 0;
    std::string torrent_;
};

// One fresh service: its own folders, so that nothing of an earlier run is cached.
class FreshService {
public:
    FreshService() {
        SetAppDirectoryForTesting(app_.path() + "/");
        testsupport::WriteFile(app_.file("ini/path.ini"),
                               "[AppSetting]\nsavePath=" + media_.path() + "/\n");
        if (::chdir(app_.path().c_str()) != 0) std::perror("chdir");
        port_ = testsupport::FreeLoopbackPort();
        stream_testing::StartOfflineEngine();
        ZP2PInitServer(port_, 0, 0, "127.0.0.1", 0, 0, "", 0, 0);
    }
    ~FreshService() {
        ZP2PUninitServer();
        if (::chdir("/") != 0) std::perror("chdir");
        SetAppDirectoryForTesting("");
    }
    int port() const { return port_; }

private:
    testsupport::TempDir app_;
    testsupport::TempDir media_;
    int port_ = 0;
};

// Request to first body byte, in milliseconds (-1 on failure); the reader stays open.
double FirstByte(stream_testing::StreamReader& reader, Clock::time_point sent) {
    if (!reader.ReadHeaders(20s) || reader.status() != 206) return -1;
    if (reader.ReadBody(1, 20s).size() != 1) return -1;
    return Ms(Clock::now() - sent);
}

// Peaks of the resident memory by kind, sampled from /proc/self/status: anonymous memory is
// the process's own; file pages are the engine's mapped view of the media files.
class MemorySampler {
public:
    MemorySampler() : thread_([this] { Loop(); }) {}
    ~MemorySampler() {
        stop_ = true;
        thread_.join();
    }
    double PeakAnonMiB() const { return anon_ / 1024.0; }
    double PeakFileMiB() const { return file_ / 1024.0; }

private:
    void Loop() {
        while (!stop_) {
            std::FILE* f = std::fopen("/proc/self/status", "r");
            char line[256];
            while (f != nullptr && std::fgets(line, sizeof(line), f) != nullptr) {
                long kb = 0;
                if (std::sscanf(line, "RssAnon: %ld", &kb) == 1) anon_ = std::max(anon_.load(), kb);
                if (std::sscanf(line, "RssFile: %ld", &kb) == 1) file_ = std::max(file_.load(), kb);
            }
            if (f != nullptr) std::fclose(f);
            std::this_thread::sleep_for(20ms);
        }
    }
    std::atomic<bool> stop_{false};
    std::atomic<long> anon_{0};
    std::atomic<long> file_{0};
    std::thread thread_;
};

struct Figures {
    std::vector<double> first0, first50, first90, seek90, seekHeld, mbps;
};

std::string StreamPath(int seederPort, const std::string& torrentUrl) {
    return "/bturl:" + stream_testing::Base64Encode(torrentUrl) +
           ",sources:" + stream_testing::Base64Encode("127.0.0.1:" + std::to_string(seederPort)) +
           ",private:" + stream_testing::Base64Encode("false") +
           ",crypt:" + stream_testing::Base64Encode("false");
}

// A new video at `offset`: request to first byte.
double NewVideo(const std::string& path, long long offset) {
    FreshService service;
    const auto sent = Clock::now();
    stream_testing::StreamReader reader(service.port(), path,
                                        "Range: bytes=" + std::to_string(offset) + "-");
    return FirstByte(reader, sent);
}

void RunOnce(int seederPort, const std::string& torrentUrl, long long size, Figures& f) {
    const std::string path = StreamPath(seederPort, torrentUrl);
    const long long at90 = size / 10 * 9;
    f.first0.push_back(NewVideo(path, 0));
    f.first50.push_back(NewVideo(path, size / 2));
    f.first90.push_back(NewVideo(path, at90));
    {
        // Playing from the start, then a seek to 90% while those pieces are still missing.
        FreshService service;
        auto sent = Clock::now();
        stream_testing::StreamReader first(service.port(), path, "Range: bytes=0-");
        FirstByte(first, sent);
        first.ReadBody(1024 * 1024, 20s);
        sent = Clock::now();
        stream_testing::StreamReader seek(service.port(), path,
                                          "Range: bytes=" + std::to_string(at90) + "-");
        f.seek90.push_back(FirstByte(seek, sent));
    }
    {
        // The whole video in order, then a seek back into what is already held.
        FreshService service;
        const auto sent = Clock::now();
        stream_testing::StreamReader whole(service.port(), path, "Range: bytes=0-");
        if (FirstByte(whole, sent) < 0) return;
        std::size_t got = 1;
        const auto start = Clock::now();
        while (got < static_cast<std::size_t>(size)) {
            const std::size_t n = whole.ReadBody(512 * 1024, 20s).size();
            if (n == 0) break;
            got += n;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (got != static_cast<std::size_t>(size)) {
            std::fprintf(stderr, "sequential read stopped after %zu of %lld bytes\n", got, size);
        }
        f.mbps.push_back(got == static_cast<std::size_t>(size) ? size / 1e6 / seconds : -1);
        const auto seekSent = Clock::now();
        stream_testing::StreamReader seek(service.port(), path,
                                          "Range: bytes=" + std::to_string(size / 2) + "-");
        f.seekHeld.push_back(FirstByte(seek, seekSent));
    }
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    long long size = 200LL * 1024 * 1024;
    std::string seeder = KVBT_SEED_PATH;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
        if (arg == "--size") size = std::atoll(argv[i + 1]);
        if (arg == "--seeder") seeder = argv[i + 1];
    }
    std::signal(SIGPIPE, SIG_IGN);
    // The service's console lines would bury the table: they go to /dev/null.
    std::FILE* report = ::fdopen(::dup(1), "w");
    if (report == nullptr || std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
    MemorySampler memory;
    std::fprintf(report,
                 "ferrule_stream_bench: %lld bytes, %d fresh runs per piece size, medians\n", size,
                 runs);
    std::fprintf(report, "%-8s %10s %10s %10s %10s %11s %8s\n", "piece", "first@0", "first@50%",
                 "first@90%", "seek@90%", "seek(held)", "MB/s");
    for (const int pieceSize : {1024 * 1024, 256 * 1024}) {
        testsupport::TempDir data;
        SeederProcess seed(seeder, data.path(), size, pieceSize);
        if (seed.port() <= 0) {
            std::fprintf(stderr, "the seeder did not start (%s)\n", seeder.c_str());
            return 1;
        }
        stream_testing::TestFileServer files(data.path());
        Figures f;
        for (int r = 0; r < runs; ++r) RunOnce(seed.port(), files.Url("video.torrent"), size, f);
        std::fprintf(report, "%-8s %8.1fms %8.1fms %8.1fms %8.1fms %9.1fms %8.1f\n",
                     pieceSize == 1024 * 1024 ? "1 MiB" : "256 KiB", Median(f.first0),
                     Median(f.first50), Median(f.first90), Median(f.seek90), Median(f.seekHeld),
                     Median(f.mbps));
        std::fflush(report);
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::fprintf(report,
                 "peak RSS of the service process: %.1f MiB (anonymous %.1f MiB, mapped files "
                 "%.1f MiB)\n",
                 usage.ru_maxrss / 1024.0, memory.PeakAnonMiB(), memory.PeakFileMiB());
    std::fprintf(report,
                 "targets: first byte < 250 ms, seek < 10 ms, peak RSS < 60 MiB, ~50 MB/s\n");
    return 0;
}
