// The set of open connections.
#pragma once

#include <memory>
#include <mutex>
#include <set>

namespace http::server {

class connection;
using connection_ptr = std::shared_ptr<connection>;

class connection_manager {
public:
    connection_manager() = default;
    connection_manager(const connection_manager&) = delete;
    connection_manager& operator=(const connection_manager&) = delete;

    // Adds and starts a connection. A new request ends every stream whose response has
    // begun: the player opens a new connection for every seek.
    void start(connection_ptr c);
    // Removes and stops a connection.
    void stop(connection_ptr c);
    void stop_all();

    std::size_t size() const;

private:
    mutable std::recursive_mutex lock_;
    std::set<connection_ptr> connections_;
};

}  // namespace http::server
