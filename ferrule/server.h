// The loopback HTTP server of the streaming service.
#pragma once

#include <atomic>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <string>

#include "connection.h"
#include "connection_manager.h"
#include "io_thread_pool.h"
#include "request_handler.h"
#include "task_preparer.h"

namespace http::server {

class server {
public:
    // Resolves, binds and listens at once; throws boost::system::system_error on failure.
    server(const std::string& address, const std::string& port, const std::string& doc_root);
    server(const server&) = delete;
    server& operator=(const server&) = delete;
    ~server();

    // Arms the maintenance timer and starts the server thread; returns at once.
    void run();
    // Stops accepting, stops every connection and joins the server thread. Waits at most
    // `limit_ms` for the thread to take the stop before stopping the context anyway.
    void stop(int limit_ms = 10000);

    // Pieces of `handle`'s task became held: its waiting streams send them on the server
    // thread (any thread).
    void wake_streams(KvBTHandle handle);

    unsigned short port() const { return port_; }
    std::size_t connection_count() const { return connection_manager_.size(); }

private:
    void start_accept();
    void handle_accept(const boost::system::error_code& e);
    void retry_accept();
    void handle_stop();
    void arm_timer();
    void handle_timer(const boost::system::error_code& e);

    connection_ptr make_connection();

    io_thread_pool io_thread_pool_;
    boost::asio::ip::tcp::acceptor acceptor_;
    connection_manager connection_manager_;
    request_handler request_handler_;
    task_preparer task_preparer_;
    connection_ptr new_connection_;
    boost::asio::steady_timer timer_;
    boost::asio::steady_timer accept_retry_timer_;
    std::atomic<bool> stopped_;
    bool running_ = false;
    bool stop_done_ = false;
    unsigned short port_ = 0;
};

}  // namespace http::server
