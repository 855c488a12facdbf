// The pipe requests of the web-page road: what the browser control and the host program send
// to the BT server. Texts are UTF-8; window handles travel in signed decimal.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

std::string SetUrlRequest(std::int32_t win, const std::string& url);  // "seturl::win:%d,url:%s"
std::string PlayRequest(std::int32_t win, const std::string& url);    // "play::win:%d,url:%s"
std::string GetStateRequest(std::int32_t win);                        // "getstate::win:%d"
std::string GetUrlRequest(std::int32_t win);                          // "geturl::win:%d"
std::string SetStateRequest(std::int32_t win, std::int32_t state);    // "setstate::win:%d,state:%d"

// True when `request` fits one pipe message; a longer one can never be delivered.
bool FitsPipe(const std::string& request);

// One exchange with the BT server (waiting without limit while it serves someone else).
// The reply, or std::nullopt when nobody answered.
std::optional<std::string> PipeExchange(const std::string& request);

// Reads a number as the pipe's readers do: leading blanks, an optional sign, then decimal
// digits up to the first other character ("-3x" is -3); no digits give 0. Values beyond 32
// bits stop at the nearest 32-bit limit.
std::int32_t ReadLeadingInt(const std::string& text);
