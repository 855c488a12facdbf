#include "connection.h"

#include <boost/asio/write.hpp>
#include <chrono>

#include "app_settings.h"
#include "connection_manager.h"
#include "log.h"
#include "page_request.h"
#include "raw_file.h"
#include "stream_task_manager.h"

namespace http::server {

namespace {
// A request's start line and headers never come near this; a client that keeps sending is
// answered 400 instead of filling memory.
constexpr std::size_t kMaxRequestBytes = 65536;
// A plain file goes out in pieces of this size, so a client that does not read holds no more.
constexpr std::size_t kFilePieceBytes = 65536;
}  // namespace

connection::connection(boost::asio::io_context& io_context, connection_manager& manager,
                       request_handler& handler, task_preparer& preparer)
    : socket_(io_context),
      connection_manager_(manager),
      request_handler_(handler),
      task_preparer_(preparer),
      stream_timer_(io_context),
      deadline_(io_context) {}

void connection::start() {
    arm_deadline();
    read_more();
}

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
    deadline_.cancel();
    socket_.close(ignored);
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (stopped_) return;
    if (handle_ != nullptr) {
        if (CStreamTaskManager* manager = GetStreamTaskManager()) {
            manager->ReleaseConnection(handle_);
        }
    }
    assist_.reset();
    stopped_ = true;
}

void connection::arm_deadline() {
    deadline_.expires_after(std::chrono::milliseconds(StreamTimings().requestReadMs));
    auto self = shared_from_this();
    deadline_.async_wait([self](const boost::system::error_code& e) { self->handle_deadline(e); });
}

void connection::handle_deadline(const boost::system::error_code& e) {
    if (e == boost::asio::error::operation_aborted || stopped_ || streaming_) return;
    // Still no whole request, or a plain reply the client stopped taking.
    connection_manager_.stop(shared_from_this());
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
    if (result == request_parser::good && from_web_page()) {
        reply_ = reply::stock_reply(reply::forbidden);
    } else if (result == request_parser::good) {
        request_handler_.handle_request(request_, reply_, target_);
        if (target_.kind == kind_stream) {
            deadline_.cancel();
            start_stream();
            return;
        }
    } else {
        reply_ = reply::stock_reply(reply::bad_request);
    }
    write_reply();
}

bool connection::from_web_page() {
    boost::system::error_code error;
    const boost::asio::ip::tcp::endpoint local = socket_.local_endpoint(error);
    if (!error && !is_web_page_request(request_, local)) return false;
    WriteLog(FormatLogTimestamp())
        .WriteLog("refused a web page's request: ")
        .WriteLog(request_.uri)
        .WriteLog(LogText::kLineEnd);
    return true;
}

void connection::write_reply() {
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
    deadline_.cancel();
    if (!stopped_) connection_manager_.stop(shared_from_this());
}

void connection::handle_write(const boost::system::error_code& e) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    writing_ = false;
    if (!e) {
        if (streaming_) {
            if (!headers_sent_) {
                watch_for_hang_up();
                connection_manager_.stream_started(shared_from_this());
            }
            headers_sent_ = true;
            pump();
        } else if (!target_.file.empty() && file_sent_ < target_.file_size) {
            arm_deadline();
            send_file_piece();
        } else {
            finish();
        }
        return;
    }
    if (streaming_) headers_sent_ = true;
    if (e != boost::asio::error::operation_aborted && !stopped_) {
        connection_manager_.stop(shared_from_this());
    }
}

void connection::send_file_piece() {
    if (stopped_) return;
    if (stream_buffer_.empty()) stream_buffer_.resize(kFilePieceBytes);
    const std::uint64_t left = target_.file_size - file_sent_;
    const auto n = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, kFilePieceBytes));
    CRawFile file;
    std::uint32_t got = 0;
    if (file.Open(target_.file, false) != 0 ||
        file.Read(stream_buffer_.data(), n, &got, static_cast<std::int64_t>(file_sent_)) != 0 ||
        got == 0) {
        // The file went or shrank: the promised length cannot be kept, so the client must
        // see the connection end early rather than wait.
        connection_manager_.stop(shared_from_this());
        return;
    }
    file.Close();
    file_sent_ += got;
    writing_ = true;
    auto self = shared_from_this();
    boost::asio::async_write(
        socket_, boost::asio::buffer(stream_buffer_.data(), got),
        [self](const boost::system::error_code& ec, std::size_t) { self->handle_write(ec); });
}

void connection::watch_for_hang_up() {
    // Without a read outstanding, a stream that waits would never learn that its client went
    // away, and its task would count the connection as open until the next one.
    if (watching_) return;
    watching_ = true;
    auto self = shared_from_this();
    socket_.async_read_some(
        boost::asio::buffer(buffer_),
        [self](const boost::system::error_code& e, std::size_t) { self->handle_hang_up(e); });
}

void connection::handle_hang_up(const boost::system::error_code& e) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    watching_ = false;
    if (stopped_ || e == boost::asio::error::operation_aborted) return;
    if (e) {
        connection_manager_.stop(shared_from_this());
        return;
    }
    // Anything the client sends after its request is of no use: keep listening.
    watch_for_hang_up();
}

}  // namespace http::server
