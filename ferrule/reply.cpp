#include "reply.h"

namespace http::server {

namespace status_strings {

const std::string ok = "HTTP/1.1 200 OK\r\n";
const std::string created = "HTTP/1.1 201 Created\r\n";
const std::string accepted = "HTTP/1.1 202 Accepted\r\n";
const std::string no_content = "HTTP/1.1 204 No Content\r\n";
const std::string partial_content = "HTTP/1.1 206 Partial Content\r\n";
const std::string multiple_choices = "HTTP/1.1 300 Multiple Choices\r\n";
const std::string moved_permanently = "HTTP/1.1 301 Moved Permanently\r\n";
const std::string moved_temporarily = "HTTP/1.1 302 Moved Temporarily\r\n";
const std::string not_modified = "HTTP/1.1 304 Not Modified\r\n";
const std::string bad_request = "HTTP/1.1 400 Bad Request\r\n";
const std::string unauthorized = "HTTP/1.1 401 Unauthorized\r\n";
const std::string forbidden = "HTTP/1.1 403 Forbidden\r\n";
const std::string not_found = "HTTP/1.1 404 Not Found\r\n";
const std::string range_not_satisfiable = "HTTP/1.1 416 Range Not Satisfiable\r\n";
const std::string internal_server_error = "HTTP/1.1 500 Internal Server Error\r\n";
const std::string not_implemented = "HTTP/1.1 501 Not Implemented\r\n";
const std::string bad_gateway = "HTTP/1.1 502 Bad Gateway\r\n";
const std::string service_unavailable = "HTTP/1.1 503 Service Unavailable\r\n";

const std::string& to_string(reply::status_type status) {
    switch (status) {
        case reply::ok:
            return ok;
        case reply::created:
            return created;
        case reply::accepted:
            return accepted;
        case reply::no_content:
            return no_content;
        case reply::partial_content:
            return partial_content;
        case reply::multiple_choices:
            return multiple_choices;
        case reply::moved_permanently:
            return moved_permanently;
        case reply::moved_temporarily:
            return moved_temporarily;
        case reply::not_modified:
            return not_modified;
        case reply::bad_request:
            return bad_request;
        case reply::unauthorized:
            return unauthorized;
        case reply::forbidden:
            return forbidden;
        case reply::not_found:
            return not_found;
        case reply::range_not_satisfiable:
            return range_not_satisfiable;
        case reply::internal_server_error:
            return internal_server_error;
        case reply::not_implemented:
            return not_implemented;
        case reply::bad_gateway:
            return bad_gateway;
        case reply::service_unavailable:
            return service_unavailable;
        default:
            return internal_server_error;
    }
}

}  // namespace status_strings

namespace misc_strings {
const char name_value_separator[] = {':', ' '};
const char crlf[] = {'\r', '\n'};
}  // namespace misc_strings

std::vector<boost::asio::const_buffer> reply::to_buffers() {
    std::vector<boost::asio::const_buffer> buffers;
    buffers.push_back(boost::asio::buffer(status_strings::to_string(status)));
    for (const header& h : headers) {
        buffers.push_back(boost::asio::buffer(h.name));
        buffers.push_back(boost::asio::buffer(misc_strings::name_value_separator));
        buffers.push_back(boost::asio::buffer(h.value));
        buffers.push_back(boost::asio::buffer(misc_strings::crlf));
    }
    buffers.push_back(boost::asio::buffer(misc_strings::crlf));
    buffers.push_back(boost::asio::buffer(content));
    return buffers;
}

std::string reply::to_string() {
    std::string text;
    for (const boost::asio::const_buffer& b : to_buffers()) {
        text.append(static_cast<const char*>(b.data()), b.size());
    }
    return text;
}

namespace stock_replies {

std::string page(const char* reason, const char* heading) {
    return std::string("<html><head><title>") + reason + "</title></head><body><h1>" + heading +
           "</h1></body></html>";
}

std::string to_string(reply::status_type status) {
    switch (status) {
        case reply::ok:
            return "";
        case reply::created:
            return page("Created", "201 Created");
        case reply::accepted:
            return page("Accepted", "202 Accepted");
        // The short heading of this page is what clients have always been sent.
        case reply::no_content:
            return page("No Content", "204 Content");
        case reply::partial_content:
            return page("Partial Content", "206 Partial Content");
        case reply::multiple_choices:
            return page("Multiple Choices", "300 Multiple Choices");
        case reply::moved_permanently:
            return page("Moved Permanently", "301 Moved Permanently");
        case reply::moved_temporarily:
            return page("Moved Temporarily", "302 Moved Temporarily");
        case reply::not_modified:
            return page("Not Modified", "304 Not Modified");
        case reply::bad_request:
            return page("Bad Request", "400 Bad Request");
        case reply::unauthorized:
            return page("Unauthorized", "401 Unauthorized");
        case reply::forbidden:
            return page("Forbidden", "403 Forbidden");
        case reply::not_found:
            return page("Not Found", "404 Not Found");
        case reply::range_not_satisfiable:
            return page("Range Not Satisfiable", "416 Range Not Satisfiable");
        case reply::not_implemented:
            return page("Not Implemented", "501 Not Implemented");
        case reply::bad_gateway:
            return page("Bad Gateway", "502 Bad Gateway");
        case reply::service_unavailable:
            return page("Service Unavailable", "503 Service Unavailable");
        default:
            return page("Internal Server Error", "500 Internal Server Error");
    }
}

}  // namespace stock_replies

reply reply::stock_reply(reply::status_type status) {
    reply rep;
    rep.status = status;
    rep.content = stock_replies::to_string(status);
    rep.headers.resize(2);
    rep.headers[0].name = "Content-Length";
    rep.headers[0].value = std::to_string(rep.content.size());
    rep.headers[1].name = "Content-Type";
    rep.headers[1].value = "text/html";
    return rep;
}

}  // namespace http::server
