// The server's I/O context and the thread that runs every handler.
#pragma once

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <memory>
#include <thread>
#include <vector>

namespace http::server {

class io_thread_pool {
public:
    io_thread_pool();
    virtual ~io_thread_pool();
    io_thread_pool(const io_thread_pool&) = delete;
    io_thread_pool& operator=(const io_thread_pool&) = delete;

    // Starts the threads, each running the I/O context until it is stopped; returns at once.
    virtual void run();
    // Stops the I/O context and joins every thread.
    virtual void stop();
    virtual bool stopped() const;

    boost::asio::io_context& get_io_context() { return io_context_; }

private:
    boost::asio::io_context io_context_;
    // Keeps the context running while no operation is pending.
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work_;
    std::vector<std::shared_ptr<std::thread>> threads_;
    int thread_count_;
    bool stopped_;
};

}  // namespace http::server
