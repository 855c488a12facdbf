#include "server.h"

#include <boost/asio/post.hpp>
#include <chrono>
#include <thread>

#include "app_settings.h"
#include "platform/socket_owner.h"
#include "stream_task_manager.h"

namespace http::server {

namespace {
// Pause before accepting again after a failed accept (out of descriptors, say), so that the
// thread does not spin while the fault lasts.
constexpr int kAcceptRetryMs = 50;

// Every user of the machine can reach the loopback port; the service streams for the user who
// runs it alone. Another user's connection is closed before a byte of it is read.
bool refused_as_other_users(boost::asio::ip::tcp::socket& socket) {
    if (platform::TcpPeerIsOwnUser(socket.native_handle())) return false;
    boost::system::error_code ignored;
    socket.close(ignored);
    return true;
}
}  // namespace

server::server(const std::string& address, const std::string& port, const std::string& doc_root)
    : acceptor_(io_thread_pool_.get_io_context()),
      request_handler_(doc_root),
      new_connection_(make_connection()),
      timer_(io_thread_pool_.get_io_context()),
      accept_retry_timer_(io_thread_pool_.get_io_context()),
      stopped_(false) {
    boost::asio::ip::tcp::resolver resolver(io_thread_pool_.get_io_context());
    const boost::asio::ip::tcp::endpoint endpoint = *resolver.resolve(address, port).begin();
    acceptor_.open(endpoint.protocol());
    acceptor_.set_option(boost::asio::ip::tcp::acceptor::reuse_address(true));
    acceptor_.bind(endpoint);
    acceptor_.listen(boost::asio::socket_base::max_listen_connections);
    port_ = acceptor_.local_endpoint().port();
    start_accept();
}

server::~server() { stop(); }

void server::start_accept() {
    acceptor_.async_accept(new_connection_->socket(),
                           [this](const boost::system::error_code& e) { handle_accept(e); });
}

void server::run() {
    stopped_ = false;
    arm_timer();
    running_ = true;
    io_thread_pool_.run();
}

void server::stop(int limit_ms) {
    if (stop_done_) return;
    stop_done_ = true;
    if (running_) {
        boost::asio::post(io_thread_pool_.get_io_context(), [this] { handle_stop(); });
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
        while (!stopped_ && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    io_thread_pool_.stop();
    if (!stopped_) {
        // The thread never took the stop (it was not running, or it was held up): do it here.
        handle_stop();
    }
    // A task being made gives up its waits when the service stops; what it hands back to
    // the server thread is run below with the other queued handlers.
    task_preparer_.stop();
    // Handlers that were still queued hold connections; drop them with the context's queue.
    io_thread_pool_.get_io_context().restart();
    io_thread_pool_.get_io_context().poll();
}

void server::wake_streams(KvBTHandle handle) {
    boost::asio::post(io_thread_pool_.get_io_context(),
                      [this, handle] { connection_manager_.wake_streams(handle); });
}

void server::handle_accept(const boost::system::error_code& e) {
    if (e == boost::asio::error::operation_aborted || !acceptor_.is_open()) return;
    if (e) {
        // The listener is still good; giving up on it would leave the service deaf for ever.
        retry_accept();
        return;
    }
    if (!refused_as_other_users(new_connection_->socket())) {
        connection_manager_.start(new_connection_);
        new_connection_ = make_connection();
    }
    start_accept();
}

connection_ptr server::make_connection() {
    return std::make_shared<connection>(io_thread_pool_.get_io_context(), connection_manager_,
                                        request_handler_, task_preparer_);
}

void server::retry_accept() {
    accept_retry_timer_.expires_after(std::chrono::milliseconds(kAcceptRetryMs));
    accept_retry_timer_.async_wait([this](const boost::system::error_code& e) {
        if (!e && acceptor_.is_open()) start_accept();
    });
}

void server::handle_stop() {
    boost::system::error_code ignored;
    acceptor_.close(ignored);
    timer_.cancel();
    accept_retry_timer_.cancel();
    connection_manager_.stop_all();
    stopped_ = true;
}

void server::arm_timer() {
    timer_.expires_after(std::chrono::milliseconds(StreamTimings().idleTestMs));
    timer_.async_wait([this](const boost::system::error_code& e) { handle_timer(e); });
}

void server::handle_timer(const boost::system::error_code& e) {
    if (stopped_) return;
    (void)e;
    if (CStreamTaskManager* manager = GetStreamTaskManager()) manager->CloseIdleTask();
    arm_timer();
}

}  // namespace http::server
