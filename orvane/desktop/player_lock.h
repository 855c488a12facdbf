// The mark that a desktop player of this user runs: a lock on a file in the user's private
// runtime folder, held for the life of the process. The kernel lets it go when the process
// ends in any way, so a crashed player leaves no stale mark. The lock's descriptor is closed
// on exec, so the BT server the player starts does not hold it on.
#pragma once

#include <string>

class PlayerLock {
public:
    // The lock file in this user's runtime folder.
    PlayerLock();
    explicit PlayerLock(std::string path);
    ~PlayerLock();
    PlayerLock(const PlayerLock&) = delete;
    PlayerLock& operator=(const PlayerLock&) = delete;

    enum class State {
        Taken,        // this process holds it now
        HeldByOther,  // another player of this user runs
        Unusable,     // no runtime folder or lock file: nothing is known of other players
    };
    // Takes the lock when it is free; never waits.
    State Take();
    // Why the lock file could not be used, after Unusable.
    const std::string& Error() const { return error_; }

private:
    std::string path_;
    std::string error_;
    int fd_ = -1;
};
