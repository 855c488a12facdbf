// One client connection: reads requests (bounded in size and time), holds an answer for its
// configured delay, writes it (files in chunks), and keeps the connection for the next
// request when the client wants that. Runs on the service's one I/O thread; the pending
// operation keeps the session alive.
#pragma once

#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <memory>
#include <optional>
#include <string>

#include "answer.h"
#include "service_state.h"

namespace webservice {

class Session : public std::enable_shared_from_this<Session> {
public:
    Session(boost::asio::ip::tcp::socket socket, std::shared_ptr<ServiceState> state);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void Start();

private:
    void ReadRequest();
    void OnRead(boost::beast::error_code ec);
    void AnswerAfterDelay(const Request& request);
    void Respond();
    void OnHeadWritten(boost::beast::error_code ec);
    void WriteFileChunk();
    void OnBodyWritten(boost::beast::error_code ec);
    void Finish();
    void Close();
    void Drain();

    boost::beast::tcp_stream stream_;
    boost::beast::flat_buffer buffer_;
    std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> parser_;
    boost::asio::steady_timer delay_;
    std::shared_ptr<ServiceState> state_;

    Answer answer_;
    bool headOnly_ = false;
    bool keepAlive_ = false;
    boost::beast::http::response<boost::beast::http::empty_body> head_;
    int file_ = -1;
    std::uint64_t sent_ = 0;
    std::string chunk_;
};

}  // namespace webservice
