// Watches server.ini for the update notice on a thread of its own and calls the player back.
//
// Start is called on any thread and returns at once. The callback runs on the watcher's
// thread and may block (the player asks the user there). The destructor asks the thread to
// end and waits a bounded time: a thread still inside the callback is let go, and keeps
// what it uses alive by itself.
#pragma once

#include <future>
#include <memory>
#include <mutex>
#include <string>

#include "pellmond/pellmond.h"

namespace pellmond {

class UpdateWatcher {
public:
    explicit UpdateWatcher(std::string serverIni);
    ~UpdateWatcher();
    UpdateWatcher(const UpdateWatcher&) = delete;
    UpdateWatcher& operator=(const UpdateWatcher&) = delete;

    // The first call starts the thread; later calls only replace the callback.
    int Start(KvUpdateCallback callback);

    struct Shared;

private:
    std::string serverIni_;
    std::mutex mutex_;
    std::shared_ptr<Shared> shared_;  // null until started
    std::future<void> ended_;
};

}  // namespace pellmond
