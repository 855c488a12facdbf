// A request as the parser leaves it.
#pragma once

#include <string>
#include <vector>

#include "header.h"

namespace http::server {

struct request {
    std::string method;
    std::string uri;
    int http_version_major = 0;
    int http_version_minor = 0;
    std::vector<header> headers;
};

}  // namespace http::server
