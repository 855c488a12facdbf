// The token that the player sends with a page-URL resolve request.
#pragma once

#include <string>

namespace webservice {

// Lower-case hex MD5 of the UTF-8 text: page URL, "-", the ninth byte from the end of the
// URL taken as a Latin-1 character, "-", the fixed salt. Empty for a URL shorter than 9 bytes.
std::string PageToken(const std::string& pageUrl);

}  // namespace webservice
