// ferrule_stream_bench: streaming figures of the service as it ships, against a loopback
// seeder in another process, as medians over fresh processes.
//
//   ferrule_stream_bench [--runs N] [--size BYTES] [--seeder PATH] [--tcp-only-seeder]
//
// The service starts exactly as the BT server routine starts it (the same ZP2PInitServer
// values, so the engine runs with the start-up record the product ships). The seeder takes
// TCP and uTP, as most peers do, unless --tcp-only-seeder is given. Every figure comes from a
// process of its own, so nothing of an earlier run is cached. For each piece size (1 MiB,
// 256 KiB) it prints: request to first byte for a new video at 0, 50% and 90%; a seek to 90%
// inside a task that holds only the start; the whole file in order (MB/s); a seek back into
// held bytes; and the peak resident memory of the processes (service and client). Each figure
// comes as the median and the 90th percentile over the runs.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "ferrule_api.h"
#include "server_test_http.h"
#include "service_folders.h"
#include "stream_test_service.h"
#include "testsupport/figures.h"
#include "testsupport/loopback.h"
#include "testsupport/temp_dir.h"

extern char** environ;

using testsupport::Median;
using testsupport::Milliseconds;
using testsupport::Percentile;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The seeder process: generates the data, makes the torrent and seeds it until its input
// closes.
class SeederProcess {
public:
    SeederProcess(const std::string& program, const std::string& folder, long long size,
                  int pieceSize, bool utp) {
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
        std::vector<const char*> argv = {program.c_str(), "--piece-size", piece.c_str(),
                                         "--generate", bytes.c_str()};
        if (utp) argv.push_back("--utp");
        argv.insert(argv.end(), {content.c_str(), torrent_.c_str(), nullptr});
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, const_cast<char**>(argv.data()),
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

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    int port_ = 0;
    std::string torrent_;
};

// The service in this process with folders of its own.
class FreshService {
public:
    FreshService() : port_(testsupport::FreeLoopbackPort()) {
        stream_testing::StartShippedService(port_);
    }
    ~FreshService() { ZP2PUninitServer(); }
    int port() const { return port_; }

private:
    stream_testing::ServiceFolders folders_;
    int port_ = 0;
};

// Request to first body byte, in milliseconds (-1 on failure); the reader stays open.
double FirstByte(stream_testing::StreamReader& reader, Clock::time_point sent) {
    if (!reader.ReadHeaders(20s) || reader.status() != 206) return -1;
    if (reader.ReadBody(1, 20s).size() != 1) return -1;
    return Milliseconds(Clock::now() - sent);
}

double PeakRssMiB() {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    char line[256];
    long kb = 0;
    while (f != nullptr && std::fgets(line, sizeof(line), f) != nullptr) {
        if (std::sscanf(line, "VmHWM: %ld", &kb) == 1) break;
    }
    if (f != nullptr) std::fclose(f);
    return kb / 1024.0;
}

// Runs `work` in a child process with its console lines thrown away; answers the figures it
// gives followed by its peak resident memory in MiB (empty when the child failed).
std::vector<double> InChild(const std::function<std::vector<double>()>& work) {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        if (std::freopen("/dev/null", "w", stdout) == nullptr) ::_exit(1);
        std::vector<double> figures = work();
        figures.push_back(PeakRssMiB());
        std::string text;
        for (const double f : figures) text += std::to_string(f) + " ";
        const bool written =
            ::write(fds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(written ? 0 : 1);
    }
    ::close(fds[1]);
    std::string text;
    char buf[512];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof(buf))) > 0)
        text.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return {};
    }
    std::vector<double> figures;
    for (const char* p = text.c_str(); *p != '\0';) {
        char* end = nullptr;
        const double v = std::strtod(p, &end);
        if (end == p) break;
        figures.push_back(v);
        p = end;
    }
    return figures;
}

struct Figures {
    std::vector<double> first0, first50, first90, seek90, seekHeld, mbps;
    double peakRss = 0;

    void Add(std::vector<double>& into, const std::vector<double>& got, std::size_t index) {
        if (got.size() <= index) {
            into.push_back(-1);
            return;
        }
        into.push_back(got[index]);
        peakRss = std::max(peakRss, got.back());
    }
};

std::string StreamPath(int seederPort, const std::string& torrentUrl) {
    return "/bturl:" + stream_testing::Base64Encode(torrentUrl) +
           ",sources:" + stream_testing::Base64Encode("127.0.0.1:" + std::to_string(seederPort)) +
           ",private:" + stream_testing::Base64Encode("false") +
           ",crypt:" + stream_testing::Base64Encode("false");
}

// A new video at `offset`: request to first byte.
std::vector<double> NewVideo(const std::string& path, long long offset) {
    FreshService service;
    const auto sent = Clock::now();
    stream_testing::StreamReader reader(service.port(), path,
                                        "Range: bytes=" + std::to_string(offset) + "-");
    return {FirstByte(reader, sent)};
}

// Playing from the start, then a seek to 90% while those pieces are still missing.
std::vector<double> SeekAhead(const std::string& path, long long size) {
    FreshService service;
    auto sent = Clock::now();
    stream_testing::StreamReader first(service.port(), path, "Range: bytes=0-");
    FirstByte(first, sent);
    first.ReadBody(1024 * 1024, 20s);
    sent = Clock::now();
    stream_testing::StreamReader seek(service.port(), path,
                                      "Range: bytes=" + std::to_string(size / 10 * 9) + "-");
    return {FirstByte(seek, sent)};
}

// The whole video in order (MB/s), then a seek back into what is already held.
std::vector<double> Whole(const std::string& path, long long size) {
    FreshService service;
    const auto sent = Clock::now();
    stream_testing::StreamReader whole(service.port(), path, "Range: bytes=0-");
    if (FirstByte(whole, sent) < 0) return {-1, -1};
    long long got = 1;
    const auto start = Clock::now();
    while (got < size) {
        const std::size_t n = whole.ReadBody(512 * 1024, 20s).size();
        if (n == 0) break;
        got += static_cast<long long>(n);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (got != size)
        std::fprintf(stderr, "the stream stopped after %lld of %lld bytes\n", got, size);
    const auto seekSent = Clock::now();
    stream_testing::StreamReader seek(service.port(), path,
                                      "Range: bytes=" + std::to_string(size / 2) + "-");
    return {got == size ? size / 1e6 / seconds : -1, FirstByte(seek, seekSent)};
}

void RunOnce(const std::string& path, long long size, Figures& f) {
    f.Add(f.first0, InChild([&] { return NewVideo(path, 0); }), 0);
    f.Add(f.first50, InChild([&] { return NewVideo(path, size / 2); }), 0);
    f.Add(f.first90, InChild([&] { return NewVideo(path, size / 10 * 9); }), 0);
    f.Add(f.seek90, InChild([&] { return SeekAhead(path, size); }), 0);
    const std::vector<double> whole = InChild([&] { return Whole(path, size); });
    f.Add(f.mbps, whole, 0);
    f.Add(f.seekHeld, whole, 1);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    long long size = 200LL * 1024 * 1024;
    std::string seeder = KVBT_SEED_PATH;
    bool utp = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--runs" && hasValue) runs = std::max(1, std::atoi(argv[++i]));
        if (arg == "--size" && hasValue) size = std::atoll(argv[++i]);
        if (arg == "--seeder" && hasValue) seeder = argv[++i];
        if (arg == "--tcp-only-seeder") utp = false;
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::printf(
        "ferrule_stream_bench: the service as shipped (ZP2PInitServer(port, 0, 0, \"\", 0, 0, "
        "\"\", 0, 0), engine start-up record 1,1,1,0,1),\n  a loopback seeder taking %s, %lld "
        "bytes, %d fresh processes per figure\n",
        utp ? "TCP and uTP" : "TCP only", size, runs);
    std::printf("%-12s %10s %10s %10s %10s %11s %8s %9s\n", "piece", "first@0", "first@50%",
                "first@90%", "seek@90%", "seek(held)", "MB/s", "peak RSS");
    for (const int pieceSize : {1024 * 1024, 256 * 1024}) {
        testsupport::TempDir data;
        SeederProcess seed(seeder, data.path(), size, pieceSize, utp);
        if (seed.port() <= 0) {
            std::fprintf(stderr, "the seeder did not start (%s)\n", seeder.c_str());
            return 1;
        }
        stream_testing::TestFileServer files(data.path());
        const std::string path = StreamPath(seed.port(), files.Url("video.torrent"));
        Figures f;
        for (int r = 0; r < runs; ++r) RunOnce(path, size, f);
        const char* name = pieceSize == 1024 * 1024 ? "1 MiB" : "256 KiB";
        std::printf("%-8s med %8.1fms %8.1fms %8.1fms %8.1fms %9.1fms %8.1f %5.1f MiB\n", name,
                    Median(f.first0), Median(f.first50), Median(f.first90), Median(f.seek90),
                    Median(f.seekHeld), Median(f.mbps), f.peakRss);
        // For the rate the slow end: what nine runs in ten reached.
        std::printf("%-8s p90 %8.1fms %8.1fms %8.1fms %8.1fms %9.1fms %8.1f\n", "",
                    Percentile(f.first0, 90), Percentile(f.first50, 90), Percentile(f.first90, 90),
                    Percentile(f.seek90, 90), Percentile(f.seekHeld, 90), Percentile(f.mbps, 10));
        std::fflush(stdout);
    }
    std::printf(
        "p90: the 90th percentile over the runs (for MB/s the rate 90%% of the runs reached)\n"
        "targets (medians): first byte <= 40 ms, seek to a missing offset <= 25 ms, seek into "
        "held bytes <= 5 ms, >= 48 MB/s, peak RSS < 40 MiB\n");
    return 0;
}
