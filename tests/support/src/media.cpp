#include "testsupport/media.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace testsupport {

// A mark that differs for every video made: BitTorrent engines started as shipped find each
// other through local discovery, and two test runs must not trade the same torrent.
std::string UniqueMark() {
    static std::random_device device;
    return std::to_string(getpid()) + "-" + std::to_string(device()) + std::to_string(device());
}

bool MakeTestVideo(const std::string& path, double seconds, int width, int height) {
    const std::string dur = std::to_string(seconds);
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    std::vector<std::string> args = {"ffmpeg",
                                     "-nostdin",
                                     "-loglevel",
                                     "error",
                                     "-y",
                                     "-f",
                                     "lavfi",
                                     "-i",
                                     "testsrc=duration=" + dur + ":size=" + size + ":rate=25",
                                     "-f",
                                     "lavfi",
                                     "-i",
                                     "sine=frequency=440:duration=" + dur,
                                     "-shortest",
                                     "-pix_fmt",
                                     "yuv420p",
                                     "-metadata",
                                     "comment=" + UniqueMark(),
                                     path};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "ffmpeg", nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return false;
    struct stat st {};
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && stat(path.c_str(), &st) == 0 &&
           st.st_size > 0;
}

bool MakeRandomFile(const std::string& path, long long size, unsigned seed) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    std::mt19937 gen(seed);
    std::vector<char> block(64 * 1024);
    while (size > 0) {
        for (auto& c : block) c = static_cast<char>(gen() & 0xFF);
        const long long n = std::min<long long>(size, static_cast<long long>(block.size()));
        out.write(block.data(), n);
        size -= n;
    }
    return static_cast<bool>(out);
}

}  // namespace testsupport
