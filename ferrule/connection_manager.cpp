#include "connection_manager.h"

#include <vector>

#include "connection.h"

namespace http::server {

void connection_manager::start(connection_ptr c) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    connections_.insert(c);
    // Superseded streams leave the set at once, so that their buffers go with them.
    std::vector<connection_ptr> superseded;
    for (const connection_ptr& other : connections_) {
        if (other->headers_sent()) superseded.push_back(other);
    }
    for (const connection_ptr& other : superseded) {
        connections_.erase(other);
        other->stop();
    }
    c->start();
}

void connection_manager::stop(connection_ptr c) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    connections_.erase(c);
    c->stop();
}

void connection_manager::stop_all() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    std::set<connection_ptr> all;
    all.swap(connections_);
    for (const connection_ptr& c : all) c->stop();
}

std::size_t connection_manager::size() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return connections_.size();
}

}  // namespace http::server
