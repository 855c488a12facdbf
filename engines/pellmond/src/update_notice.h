// The update notice: [update] INFO and STATUS of server.ini, as the player's IsUpdate reads them.
#pragma once

#include <string>

namespace pellmond {

struct UpdateNotice {
    std::string info;
    std::string status;

    // A notice is there when either key holds a value.
    bool Present() const { return !info.empty() || !status.empty(); }
    bool operator==(const UpdateNotice& other) const {
        return info == other.info && status == other.status;
    }
    bool operator!=(const UpdateNotice& other) const { return !(*this == other); }
};

// Reads the notice (a missing file or section reads as no notice).
UpdateNotice ReadUpdateNotice(const std::string& serverIni);

// Whether going from `before` to `now` is news for the user: a notice that appeared or changed.
// A notice that went away is not.
bool IsNews(const UpdateNotice& before, const UpdateNotice& now);

}  // namespace pellmond
