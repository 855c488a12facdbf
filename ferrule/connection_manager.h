// The set of open connections.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "kvbt_api.h"

namespace http::server {

class connection;
using connection_ptr = std::shared_ptr<connection>;

class connection_manager {
public:
    // Open connections beyond this close the oldest one that serves no stream (or, when every
    // other one streams, the newcomer), so that clients that never finish cannot pile up.
    static constexpr std::size_t max_connections = 100;

    connection_manager() = default;
    connection_manager(const connection_manager&) = delete;
    connection_manager& operator=(const connection_manager&) = delete;

    // Adds and starts a connection.
    void start(connection_ptr c);
    // Removes and stops a connection.
    void stop(connection_ptr c);
    void stop_all();

    // The response of `c`'s stream has begun.
    void stream_started(const connection_ptr& c);
    // `except` asks for a stream: every stream whose response has begun ends (the player
    // opens a new connection for every seek).
    void stop_streams(const connection_ptr& except);
    // Pieces of `handle`'s task became held: its streams that wait send them now.
    void wake_streams(KvBTHandle handle);

    std::size_t size() const;

private:
    void stop_locked(const connection_ptr& c);
    // Closes the oldest connection that serves no stream.
    void close_oldest_idle();

    mutable std::recursive_mutex lock_;
    std::uint64_t next_sequence_ = 0;
    std::map<std::uint64_t, connection_ptr> connections_;  // by age, oldest first
    std::set<connection_ptr> streams_;                     // responses begun
};

}  // namespace http::server
