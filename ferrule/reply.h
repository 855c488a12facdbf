// A reply to send: status line, headers and body.
#pragma once

#include <boost/asio/buffer.hpp>
#include <string>
#include <vector>

#include "header.h"

namespace http::server {

struct reply {
    enum status_type {
        ok = 200,
        created = 201,
        accepted = 202,
        no_content = 204,
        partial_content = 206,
        multiple_choices = 300,
        moved_permanently = 301,
        moved_temporarily = 302,
        not_modified = 304,
        bad_request = 400,
        unauthorized = 401,
        forbidden = 403,
        not_found = 404,
        range_not_satisfiable = 416,
        internal_server_error = 500,
        not_implemented = 501,
        bad_gateway = 502,
        service_unavailable = 503
    } status = ok;

    std::vector<header> headers;
    std::string content;

    // Status line, headers and content. The buffers refer to this reply, which must outlive
    // the write that sends them.
    std::vector<boost::asio::const_buffer> to_buffers();

    // The same bytes as one text (for tests and logs).
    std::string to_string();

    static reply stock_reply(status_type status);
};

}  // namespace http::server
