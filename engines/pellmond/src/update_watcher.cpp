#include "update_watcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/paths.h"
#include "update_notice.h"

namespace pellmond {

namespace {

// Changes are noticed through inotify at once; the poll also catches what inotify cannot
// see (a cfg folder that does not exist yet, a file system without notifications).
constexpr int kPollMs = 1000;
// A writer that saves in several steps is read once it has been quiet this long.
constexpr int kSettleMs = 100;
constexpr int kMaxSettleRounds = 10;
constexpr std::chrono::seconds kStopLimit(2);
constexpr uint32_t kFolderEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE |
                                   IN_DELETE | IN_MODIFY | IN_DELETE_SELF | IN_MOVE_SELF;

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace

struct UpdateWatcher::Shared {
    explicit Shared(std::string path) : serverIni(std::move(path)) {}
    ~Shared() {
        if (stopFd >= 0) ::close(stopFd);
        if (inotifyFd >= 0) ::close(inotifyFd);
    }

    const std::string serverIni;
    std::atomic<KvUpdateCallback> callback{nullptr};
    int stopFd = -1;
    int inotifyFd = -1;
    int watch = -1;
    std::promise<void> ended;
};

namespace {

// Reads the queued events; forgets the watch when the folder went away.
void DrainEvents(UpdateWatcher::Shared& shared) {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(shared.inotifyFd, buffer, sizeof buffer);
        if (got <= 0) return;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->mask & IN_IGNORED) shared.watch = -1;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

// Waits for the stop signal or a change; false when the watcher is to stop.
bool WaitForChange(UpdateWatcher::Shared& shared) {
    pollfd items[2] = {{shared.stopFd, POLLIN, 0}, {shared.inotifyFd, POLLIN, 0}};
    int ready = ::poll(items, 2, kPollMs);
    for (int round = 0; ready > 0 && round < kMaxSettleRounds; ++round) {
        if (items[0].revents) return false;
        if (!items[1].revents) break;
        DrainEvents(shared);
        items[1].revents = 0;
        ready = ::poll(items, 2, kSettleMs);
    }
    return !(ready > 0 && items[0].revents);
}

void Watch(std::shared_ptr<UpdateWatcher::Shared> shared) {
    const std::string folder = FolderOf(shared->serverIni);
    UpdateNotice last;
    do {
        if (shared->watch < 0)
            shared->watch = ::inotify_add_watch(shared->inotifyFd, folder.c_str(), kFolderEvents);
        const UpdateNotice now = ReadUpdateNotice(shared->serverIni);
        const bool news = IsNews(last, now);
        last = now;
        if (news) {
            if (const KvUpdateCallback callback = shared->callback.load()) callback(0);
        }
    } while (WaitForChange(*shared));
    shared->ended.set_value();
}

}  // namespace

UpdateWatcher::UpdateWatcher(std::string serverIni) : serverIni_(std::move(serverIni)) {}

UpdateWatcher::~UpdateWatcher() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!shared_) return;
    const uint64_t one = 1;
    (void)!::write(shared_->stopFd, &one, sizeof one);
    shared_->callback.store(nullptr);
    if (ended_.wait_for(kStopLimit) != std::future_status::ready)
        std::fprintf(stderr, "Pellmond: the update callback did not return; not waiting for it\n");
}

int UpdateWatcher::Start(KvUpdateCallback callback) {
    if (!callback) return -1;
    std::lock_guard<std::mutex> lock(mutex_);
    if (shared_) {
        shared_->callback.store(callback);
        return 0;
    }
    auto shared = std::make_shared<Shared>(serverIni_);
    shared->stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    shared->inotifyFd = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (shared->stopFd < 0 || shared->inotifyFd < 0) {
        std::fprintf(stderr, "Pellmond: cannot watch %s: %s\n", serverIni_.c_str(),
                     std::strerror(errno));
        return -1;
    }
    shared->callback.store(callback);
    ended_ = shared->ended.get_future();
    try {
        // Detached: the thread owns its share, so a callback that never returns cannot
        // keep the process from ending.
        std::thread(Watch, shared).detach();
    } catch (const std::system_error& error) {
        std::fprintf(stderr, "Pellmond: cannot start the watcher: %s\n", error.what());
        return -1;
    }
    shared_ = std::move(shared);
    return 0;
}

}  // namespace pellmond
