// One client connection of the loopback server: reads one request and answers it with a
// plain file, an error, or a stream of a torrent's file.
#pragma once

#include <array>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "kvbt_api.h"
#include "reply.h"
#include "request.h"
#include "request_handler.h"
#include "request_parser.h"

namespace http::server {

class connection_manager;

class connection : public std::enable_shared_from_this<connection> {
public:
    connection(boost::asio::io_context& io_context, connection_manager& manager,
               request_handler& handler);
    connection(const connection&) = delete;
    connection& operator=(const connection&) = delete;

    boost::asio::ip::tcp::socket& socket() { return socket_; }

    // Starts reading the request.
    void start();
    // Closes the socket and lets go of the stream task. Final.
    void stop();

    bool headers_sent() const { return headers_sent_; }

private:
    void handle_read(const boost::system::error_code& e, std::size_t bytes_transferred);
    void handle_write(const boost::system::error_code& e);
    void read_more();
    // Shuts the socket down and leaves the manager (the end of a plain reply).
    void finish();

    // Stream serving.
    std::string parse_stream_request(const std::string& path);
    void open_stream(reply& rep);
    bool open_task();
    void handle_stream_timer(const boost::system::error_code& e);
    void arm_stream_timer();
    bool poll();
    std::uint64_t available_bytes(std::uint64_t offset);
    void pump();
    // Reads on while a stream waits for pieces, so that a client that hung up is noticed.
    void watch_for_hang_up();
    void handle_hang_up(const boost::system::error_code& e);

    bool headers_sent_ = false;
    boost::asio::ip::tcp::socket socket_;
    connection_manager& connection_manager_;
    request_handler& request_handler_;
    std::array<char, 8192> buffer_;
    std::size_t bytes_read_ = 0;
    request request_;
    request_parser request_parser_;
    reply reply_;
    boost::asio::steady_timer stream_timer_;
    bool streaming_ = false;
    bool stopped_ = false;
    bool writing_ = false;
    std::recursive_mutex lock_;

    // The stream.
    request_target target_;
    std::int64_t content_length_ = -1;
    std::int64_t torrent_size_ = -1;
    std::uint64_t available_ = 0;
    std::uint64_t sent_ = 0;
    std::int64_t file_size_ = -1;
    std::uint64_t file_offset_ = 0;  // of the chosen file inside the torrent
    const int refill_budget_ = 2097100;
    int send_budget_ = 0;
    std::vector<char> stream_buffer_;
    std::size_t fill_offset_ = 0;
    KvBTHandle handle_ = nullptr;
    std::string file_path_;
    int file_index_ = -1;
    std::string task_key_;
    bool waiting_ = false;
    std::uint64_t last_send_tick_ = 0;
    std::uint64_t start_ = 0;  // first byte of the file to send
    std::uint64_t end_ = 0;    // one past the last byte to send
    std::string http_url_;
};

}  // namespace http::server
