// Content types of the files the loopback server hands out.
#pragma once

#include <string>

namespace http::server::mime_types {

// Exact, case-sensitive match of the extension; "application/octet-stream" otherwise.
std::string extension_to_type(const std::string& extension);

}  // namespace http::server::mime_types
