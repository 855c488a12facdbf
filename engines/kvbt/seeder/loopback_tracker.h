// A BitTorrent tracker on 127.0.0.1 for tests, benchmarks and the demo: every announce, for
// any torrent, is answered with one peer, 127.0.0.1 at the port it was given. A torrent or a
// magnet link that names it lets a player find a loopback seeder by itself, the way a player
// finds peers anywhere, with no address handed to it.
#pragma once

#include <memory>
#include <string>

namespace kvbt_testing {

class LoopbackTracker {
public:
    // Listens on a port of its own and answers on a thread of its own until destroyed.
    explicit LoopbackTracker(int peerPort);
    ~LoopbackTracker();
    LoopbackTracker(const LoopbackTracker&) = delete;
    LoopbackTracker& operator=(const LoopbackTracker&) = delete;

    // False when no port could be had.
    bool Listening() const;
    // "http://127.0.0.1:<port>/announce": trackers on this machine are asked at this path.
    std::string AnnounceUrl() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace kvbt_testing
