#include "io_thread_pool.h"

namespace http::server {

io_thread_pool::io_thread_pool()
    : work_(boost::asio::make_work_guard(io_context_)), thread_count_(1), stopped_(false) {}

io_thread_pool::~io_thread_pool() { stop(); }

void io_thread_pool::run() {
    for (int i = 0; i < thread_count_; ++i) {
        threads_.push_back(std::make_shared<std::thread>([this] { io_context_.run(); }));
    }
}

void io_thread_pool::stop() {
    io_context_.stop();
    for (const std::shared_ptr<std::thread>& t : threads_) {
        if (t->joinable()) t->join();
    }
    threads_.clear();
    stopped_ = true;
}

bool io_thread_pool::stopped() const { return stopped_; }

}  // namespace http::server
