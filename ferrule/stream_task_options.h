// The sources of one stream request.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct StreamTaskOptions {
    std::string key;                       // task key of the "bturl:" value
    std::vector<std::string> torrentUrls;  // HTTP addresses of a ".torrent" file
    std::string engineUrl;                 // a "magnet:" or "kvbt:" link, else empty
    std::vector<std::string> httpUrls;     // HTTP mirrors of the content
    std::vector<std::string> peerSources;  // host, optionally ":" and a port
    std::int32_t isPrivate = 0;
    std::int32_t crypt = 0;
};
