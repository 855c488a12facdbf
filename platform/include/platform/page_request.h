// Telling the player's own loopback requests from those a web page makes a browser send.
//
// The stream server and the local file server answer on 127.0.0.1, which every page in a
// browser on this machine can name (an <img>, a <video>, a script's fetch). Browsers mark such
// requests: a fetch carries an Origin header, and an element's request carries the page's
// address as its Referer. The player's own clients (the playback engine, the streaming
// service's torrent download) send neither, and pages the server itself serves name the
// server as their Referer.
//
// A page can keep its Referer back, though (a referrer policy of "no-referrer", a link with
// rel=noreferrer, a frame of "data:" or "about:blank", an https page naming an http address),
// and then its element loads and navigations carry neither header. What it cannot choose is
// the User-Agent: a browser sends its own with every request, and a script may replace it
// only on a request that carries an Origin header or one to the page's own site (which names
// that site as its Host, refused by both servers). Every mainstream browser's begins with
// "Mozilla/", and none of the player's own clients' does ("libmpv", or none at all).
#pragma once

#include <optional>
#include <string>

namespace platform {

// True when a request to the loopback server at `ownHost`:`ownPort` ("127.0.0.1", or "[::1]"
// with brackets) came from a web page: it carries an Origin header (any value, "null" too), or
// a Referer whose origin is not "http://<ownHost>:<ownPort>", or no Referer and a browser's
// User-Agent (one that begins with "Mozilla/", ignoring case). A header that is absent is
// std::nullopt; one that is present but empty counts as present.
bool IsWebPageRequest(const std::optional<std::string>& origin,
                      const std::optional<std::string>& referer,
                      const std::optional<std::string>& userAgent, const std::string& ownHost,
                      int ownPort);

}  // namespace platform
