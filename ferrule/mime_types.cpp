#include "mime_types.h"

namespace http::server::mime_types {

namespace {
struct mapping {
    const char* extension;
    const char* mime_type;
};
const mapping kMappings[] = {
    {"gif", "image/gif"},  {"txt", "text/plain"}, {"htm", "text/html"}, {"html", "text/html"},
    {"jpg", "image/jpeg"}, {"png", "image/png"},  {"mp4", "video/mp4"}, {"flv", "video/x-flv"},
};
}  // namespace

std::string extension_to_type(const std::string& extension) {
    for (const mapping& m : kMappings) {
        if (extension == m.extension) return m.mime_type;
    }
    return "application/octet-stream";
}

}  // namespace http::server::mime_types
