#include "page_request.h"

#include <strings.h>

#include <optional>
#include <string>

#include "platform/page_request.h"
#include "request.h"

namespace http::server {

namespace {

std::optional<std::string> header_value(const request& req, const char* name) {
    for (const header& h : req.headers)
        if (::strcasecmp(h.name.c_str(), name) == 0) return h.value;
    return std::nullopt;
}

}  // namespace

bool is_web_page_request(const request& req, const boost::asio::ip::tcp::endpoint& local) {
    const boost::asio::ip::address address = local.address();
    const std::string host =
        address.is_v6() ? "[" + address.to_string() + "]" : address.to_string();
    return platform::IsWebPageRequest(header_value(req, "origin"), header_value(req, "referer"),
                                      header_value(req, "user-agent"), host, local.port());
}

}  // namespace http::server
