// One header line of a request or a reply.
#pragma once

#include <string>

namespace http::server {

struct header {
    std::string name;
    std::string value;
};

}  // namespace http::server
