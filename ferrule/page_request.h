// Requests a web page made a browser send to the stream server: refused before anything else
// is read from them, so that no page can start a torrent download or re-aim a stream.
#pragma once

#include <boost/asio/ip/tcp.hpp>

namespace http::server {

struct request;

// True when `req`, received on the server's own address `local`, carries an Origin header, a
// Referer naming another origin than http://<local>, or no Referer and a browser's User-Agent.
bool is_web_page_request(const request& req, const boost::asio::ip::tcp::endpoint& local);

}  // namespace http::server
