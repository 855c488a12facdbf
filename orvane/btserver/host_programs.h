// The host programs the BT server runs for "play": each holds a whole player, so a page that
// creates controls in a loop must not multiply them. At most one runs per browser control
// window (a second "play" for that window starts nothing: its host program follows the
// window's URL through its own "geturl"), and at most kMaxRunning at once.
//
// Play runs on the pipe thread; the ends of the programs are reported on the process
// reaper's thread, so the running set has a lock of its own.
#pragma once

#include <QSet>
#include <QString>
#include <memory>
#include <mutex>

class HostPrograms {
public:
    static constexpr int kMaxRunning = 8;

    enum class Outcome {
        Started,
        WindowHasOne,  // the window's host program still runs: nothing started
        Full,          // kMaxRunning run: nothing started
        Failed,        // the program could not be started
    };

    HostPrograms();

    // Starts `program` with "-win=" + `win` and "-url=" + `url` unless the outcome says why
    // not (with a debug line).
    Outcome Play(const QString& program, const QString& win, const QString& url);

    // The programs started here that have not ended yet.
    int Running() const;

private:
    struct RunningSet {
        mutable std::mutex lock;
        QSet<QString> windows;
    };
    // Shared with the end reports, which may come after this object is gone.
    std::shared_ptr<RunningSet> running_;
};
