#include "testsupport/hostile_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <future>
#include <stdexcept>
#include <thread>

namespace testsupport {

namespace {

const char* const kFifos[] = {"fifo", "fifo.torrent"};

void Make(bool ok, const std::string& path) {
    if (!ok) throw std::runtime_error("cannot make " + path);
}

}  // namespace

std::vector<HostileFile> MakeHostileFiles(const std::string& folder) {
    std::vector<HostileFile> files;
    for (const char* name : kFifos) {
        const std::string path = folder + "/" + name;
        Make(::mkfifo(path.c_str(), 0600) == 0, path);
        files.push_back({std::string("a FIFO named ") + name, path});
    }
    for (const char* name : {"zero-link", "zero-link.torrent"}) {
        const std::string path = folder + "/" + name;
        Make(::symlink("/dev/zero", path.c_str()) == 0, path);
        files.push_back({std::string("a link to /dev/zero named ") + name, path});
    }
    files.push_back({"/dev/zero", "/dev/zero"});
    return files;
}

bool ReturnsWithin(const std::function<void()>& read, const std::string& folder,
                   std::chrono::milliseconds limit) {
    auto done = std::async(std::launch::async, read);
    if (done.wait_for(limit) == std::future_status::ready) {
        done.get();
        return true;
    }
    // A reader waits in open() for a writer: one comes and goes, and the reader sees the end.
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        for (const char* name : kFifos) {
            const int fd = ::open((folder + "/" + name).c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) ::close(fd);
        }
    }
    done.get();
    return false;
}

long PeakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

void ResetPeakResident() { std::ofstream("/proc/self/clear_refs") << "5"; }

}  // namespace testsupport
