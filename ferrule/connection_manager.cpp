#include "connection_manager.h"

#include <vector>

#include "connection.h"

namespace http::server {

void connection_manager::start(connection_ptr c) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    c->set_sequence(next_sequence_++);
    connections_.emplace(c->sequence(), c);
    // The newcomer itself serves no stream yet, so one connection always goes.
    if (connections_.size() > max_connections) close_oldest_idle();
    if (!c->stopped()) c->start();
}

void connection_manager::close_oldest_idle() {
    // Streams are few (each new stream request ends the running ones), so this walk is short.
    for (const auto& [sequence, c] : connections_) {
        if (c->serves_stream()) continue;
        const connection_ptr oldest = c;
        stop_locked(oldest);
        return;
    }
}

void connection_manager::stop(connection_ptr c) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    stop_locked(c);
}

void connection_manager::stop_locked(const connection_ptr& c) {
    connections_.erase(c->sequence());
    streams_.erase(c);
    c->stop();
}

void connection_manager::stop_all() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    std::map<std::uint64_t, connection_ptr> all;
    all.swap(connections_);
    streams_.clear();
    for (const auto& entry : all) entry.second->stop();
}

void connection_manager::stream_started(const connection_ptr& c) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (connections_.count(c->sequence())) streams_.insert(c);
}

void connection_manager::stop_streams(const connection_ptr& except) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    // Superseded streams leave at once, so that their buffers go with them.
    std::vector<connection_ptr> superseded(streams_.begin(), streams_.end());
    for (const connection_ptr& c : superseded) {
        if (c != except) stop_locked(c);
    }
}

void connection_manager::wake_streams(KvBTHandle handle) {
    // Every stream, also one whose headers are written but not yet reported: the client (and
    // so the engine) can be quicker than the write's completion.
    std::vector<connection_ptr> streams;
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        for (const auto& entry : connections_) {
            if (entry.second->serves_stream()) streams.push_back(entry.second);
        }
    }
    for (const connection_ptr& c : streams) c->wake_stream(handle);
}

std::size_t connection_manager::size() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return connections_.size();
}

}  // namespace http::server
