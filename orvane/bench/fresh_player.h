// A player as a new user on a new machine would have it, for the benchmarks: the shipped
// programs and libraries copied into an install folder of its own, with runtime, temporary,
// cache, configuration and data folders of its own, so that nothing of an earlier run (a
// running BT server, a stream's cached pieces, stored settings) takes part. The BT server its
// player starts is ended with it.
#pragma once

#include <QProcessEnvironment>
#include <memory>
#include <string>

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
