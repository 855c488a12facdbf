#include "connection.h"

#include <boost/asio/write.hpp>

#include "connection_manager.h"
#include "stream_task_manager.h"

namespace http::server {

namespace {
// A request's start line and headers never come near this; a client that keeps sending is
// answered 400 instead of filling memory.
constexpr std::size_t kMaxRequestBytes = 65536;
}  // namespace

connection::connection(boost::asio::io_context& io_context, connection_manager& manager,
                       request_handler& handler)
    : socket_(io_context),
      connection_manager_(manager),
      request_handler_(handler),
      stream_timer_(io_context) {}

void connection::start() { read_more(); }

void connection::read_more() {
    auto self = shared_from_this();
    socket_.async_read_some(
        boost::asio::buffer(buffer_),
        [self](const boost::system::error_code& e, std::size_t n) { self->handle_read(e, n); });
}

void connection::stop() {
    if (stopped_) return;
    boost::system::error_code ignored;
    stream_timer_.cancel();
    socket_.close(ignored);
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (stopped_) return;
    stopped_ = true;
    if (handle_ != nullptr) {
        if (CStreamTaskManager* manager = GetStreamTaskManager()) {
            manager->ReleaseConnection(handle_);
        }
    }
}

void connection::handle_read(const boost::system::error_code& e, std::size_t bytes_transferred) {
    if (e) {
        if (e != boost::asio::error::operation_aborted && !stopped_) {
            connection_manager_.stop(shared_from_this());
        }
        return;
    }
    bytes_read_ += bytes_transferred;
    request_parser::result_type result;
    std::tie(result, std::ignore) =
        request_parser_.parse(request_, buffer_.data(), buffer_.data() + bytes_transferred);

    if (result == request_parser::indeterminate && bytes_read_ < kMaxRequestBytes) {
        read_more();
        return;
    }
    if (result == request_parser::good) {
        request_handler_.handle_request(request_, reply_, target_);
        if (target_.kind == kind_stream) {
            std::lock_guard<std::recursive_mutex> guard(lock_);
            streaming_ = true;
            task_key_ = parse_stream_request(target_.path);
            open_stream(reply_);
        }
    } else {
        reply_ = reply::stock_reply(reply::bad_request);
    }
    auto self = shared_from_this();
    writing_ = true;
    boost::asio::async_write(
        socket_, reply_.to_buffers(),
        [self](const boost::system::error_code& ec, std::size_t) { self->handle_write(ec); });
}

void connection::finish() {
    boost::system::error_code ignored;
    socket_.shutdown(boost::asio::ip::tcp::socket::shutdown_both, ignored);
    stream_timer_.cancel();
    if (!stopped_) connection_manager_.stop(shared_from_this());
}

void connection::handle_write(const boost::system::error_code& e) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    writing_ = false;
    if (!e) {
        if (!streaming_) {
            finish();
        } else {
            if (!headers_sent_) watch_for_hang_up();
            headers_sent_ = true;
            pump();
        }
        return;
    }
    if (streaming_) headers_sent_ = true;
    if (e != boost::asio::error::operation_aborted && !stopped_) {
        connection_manager_.stop(shared_from_this());
    }
}

void connection::watch_for_hang_up() {
    // Without a read outstanding, a stream that waits for pieces would never learn that its
    // client went away, and its task would count the connection as open until the next one.
    auto self = shared_from_this();
    socket_.async_read_some(
        boost::asio::buffer(buffer_),
        [self](const boost::system::error_code& e, std::size_t) { self->handle_hang_up(e); });
}

void connection::handle_hang_up(const boost::system::error_code& e) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (stopped_ || e == boost::asio::error::operation_aborted) return;
    if (e) {
        connection_manager_.stop(shared_from_this());
        return;
    }
    // Anything the client sends after its request is of no use: keep listening.
    watch_for_hang_up();
}

}  // namespace http::server
