// A player as a new user on a new machine would have it, for the benchmarks: the shipped
// programs and libraries copied into an install folder of its own, with runtime, temporary,
// cache, configuration and data folders of its own, so that nothing of an earlier run (a
// running BT server, a stream's cached pieces, stored settings) takes part. The BT server its
// player starts is ended with it.
#pragma once

#include <QProcessEnvironment>
#include <memory>
#include <string>

namespace kvbt_testing {
class LoopbackSeeder;
class LoopbackTracker;
}  // namespace kvbt_testing
namespace testsupport {
class TempDir;
}

class FreshPlayer {
public:
    FreshPlayer();
    ~FreshPlayer();
    FreshPlayer(const FreshPlayer&) = delete;
    FreshPlayer& operator=(const FreshPlayer&) = delete;

    const std::string& Bin() const { return bin_; }
    // The folders above, for the programs started from Bin().
    const QProcessEnvironment& Environment() const { return environment_; }

private:
    std::unique_ptr<testsupport::TempDir> temp_;
    std::string bin_;
    QProcessEnvironment environment_;
};

// The --runs N of a benchmark's command line; `fallback` without one.
int RunsArgument(int argc, char** argv, int fallback);

// Seeds `video`, which lies in `folder`, from `seeder` with a torrent of 256 KiB pieces written
// to `torrent` and announced at `tracker`. False, having said so on stderr, when it cannot.
bool SeedVideo(kvbt_testing::LoopbackSeeder& seeder, const kvbt_testing::LoopbackTracker& tracker,
               const std::string& video, const std::string& torrent, const std::string& folder);
