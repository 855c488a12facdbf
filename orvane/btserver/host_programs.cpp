#include "host_programs.h"

#include <QDebug>

#include "run_program.h"

HostPrograms::HostPrograms() : running_(std::make_shared<RunningSet>()) {}

HostPrograms::Outcome HostPrograms::Play(const QString& program, const QString& win,
                                         const QString& url) {
    // Held while the program starts, so that its end, reported on another thread, always
    // finds its window entered.
    std::lock_guard<std::mutex> guard(running_->lock);
    if (running_->windows.contains(win)) {
        qDebug() << "play: the host program of window" << win << "still runs";
        return Outcome::WindowHasOne;
    }
    if (running_->windows.size() >= kMaxRunning) {
        qDebug() << "play refused for window" << win << ":" << kMaxRunning
                 << "host programs run already";
        return Outcome::Full;
    }
    // Each switch is an argument of its own, so a URL with blanks or with a " -win=" of its
    // own arrives whole and cannot change the window.
    const std::weak_ptr<RunningSet> running = running_;
    const bool started = RunProgram(program, {"-win=" + win, "-url=" + url}, [running, win] {
        if (const auto shared = running.lock()) {
            std::lock_guard<std::mutex> ended(shared->lock);
            shared->windows.remove(win);
        }
    });
    if (!started) return Outcome::Failed;
    running_->windows.insert(win);
    return Outcome::Started;
}

int HostPrograms::Running() const {
    std::lock_guard<std::mutex> guard(running_->lock);
    return running_->windows.size();
}
