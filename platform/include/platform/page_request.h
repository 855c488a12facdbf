// Telling the player's own loopback requests from those a web page makes a browser send.
//
// The stream server and the local file server answer on 127.0.0.1, which every page in a
// browser on this machine can name (an <img>, a <video>, a script's fetch). Browsers mark such
// requests: a fetch carries an Origin header, and an element's request carries the page's
// address as its Referer. The player's own clients (the playback engine, the streaming
// service's torrent download) send neither, and pages the server itself serves name the
// server as their Referer.
#pragma once

#include <optional>
#include <string>

namespace platform {

// True when a request to the loopback server at `ownHost`:`ownPort` ("127.0.0.1", or "[::1]"
// with brackets) came from a web page: it carries an Origin header (any value, "null" too), or
// a Referer whose origin is not "http://<ownHost>:<ownPort>". A header that is absent is
// std::nullopt; one that is present but empty counts as present.
bool IsWebPageRequest(const std::optional<std::string>& origin,
                      const std::optional<std::string>& referer, const std::string& ownHost,
                      int ownPort);

}  // namespace platform
