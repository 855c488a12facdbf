// One client connection of the loopback server: reads one request and answers it with a
// plain file, an error, or a stream of a torrent's file. Every handler runs on the server
// thread; only the opening of a new stream task runs on the task preparer's thread, which
// hands its outcome back to the server thread.
#pragma once

#include <array>
#include <atomic>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "async_http_client.h"
#include "kvbt_api.h"
#include "reply.h"
#include "request.h"
#include "request_handler.h"
#include "request_parser.h"
#include "stream_task_options.h"

struct OpenedTask;

namespace http::server {

class connection_manager;
class task_preparer;

class connection : public std::enable_shared_from_this<connection> {
public:
    connection(boost::asio::io_context& io_context, connection_manager& manager,
               request_handler& handler, task_preparer& preparer);
    connection(const connection&) = delete;
    connection& operator=(const connection&) = delete;

    boost::asio::ip::tcp::socket& socket() { return socket_; }

    // Starts reading the request.
    void start();
    // Closes the socket and lets go of the stream task. Final.
    void stop();

    // Pieces of `handle`'s task became held: a stream of that task that waits for bytes
    // sends them now rather than at its next poll (server thread).
    void wake_stream(KvBTHandle handle);

    bool headers_sent() const { return headers_sent_; }
    bool stopped() const { return stopped_; }
    // The request asked for a stream (which waits for its task or runs).
    bool serves_stream() const { return streaming_; }
    void set_sequence(std::uint64_t sequence) { sequence_ = sequence; }
    std::uint64_t sequence() const { return sequence_; }

private:
    void handle_read(const boost::system::error_code& e, std::size_t bytes_transferred);
    void handle_write(const boost::system::error_code& e);
    void read_more();
    void write_reply();
    // The parsed request came from a web page (or its socket lost its address): refused.
    bool from_web_page();
    // Shuts the socket down and leaves the manager (the end of a plain reply).
    void finish();
    // A request must arrive, and a plain reply make progress, within the read time-out.
    void arm_deadline();
    void handle_deadline(const boost::system::error_code& e);

    // Plain files, sent a piece at a time after the headers.
    void send_file_piece();

    // Stream serving.
    std::string parse_stream_request(const std::string& path);
    void start_stream();
    void task_ready(const OpenedTask& opened);
    void open_stream(reply& rep);
    void handle_stream_timer(const boost::system::error_code& e);
    void arm_stream_timer();
    bool poll();
    std::uint64_t available_bytes(std::uint64_t offset);
    void pump();
    // Bytes of the next chunk when `limit` bytes of the range can be sent.
    std::uint64_t piece_to_send(std::uint64_t limit) const;
    std::uint32_t read_from_file();

    // The HTTP assist branch of the pump.
    struct assist_outcome {
        std::uint64_t ahead = 0;  // bytes of the range, from its start, the assist holds
        bool close = false;       // close the assist's thread once this pump is done
    };
    assist_outcome run_assist_branch(std::uint64_t now);
    std::uint32_t read_from_assist(std::uint64_t ahead);
    void end_assist(const assist_outcome& outcome);
    // Reads on while a stream waits (for its task or its pieces), so that a client that hung
    // up is noticed.
    void watch_for_hang_up();
    void handle_hang_up(const boost::system::error_code& e);

    bool headers_sent_ = false;
    boost::asio::ip::tcp::socket socket_;
    connection_manager& connection_manager_;
    request_handler& request_handler_;
    task_preparer& task_preparer_;
    std::array<char, 8192> buffer_;
    std::size_t bytes_read_ = 0;
    request request_;
    request_parser request_parser_;
    reply reply_;
    boost::asio::steady_timer stream_timer_;
    boost::asio::steady_timer deadline_;
    bool streaming_ = false;
    std::atomic<bool> stopped_{false};
    bool writing_ = false;
    bool watching_ = false;
    std::uint64_t sequence_ = 0;
    std::recursive_mutex lock_;

    // A plain file.
    std::uint64_t file_sent_ = 0;

    // The stream.
    request_target target_;
    StreamTaskOptions options_;
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
    std::shared_ptr<CAsyncHttpClient> assist_;  // looked up again at every pump
};

}  // namespace http::server
