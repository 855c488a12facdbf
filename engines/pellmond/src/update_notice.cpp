#include "update_notice.h"

#include "platform/ini_file.h"

namespace pellmond {

UpdateNotice ReadUpdateNotice(const std::string& serverIni) {
    return {platform::IniReadString(serverIni, "update", "INFO"),
            platform::IniReadString(serverIni, "update", "STATUS")};
}

bool IsNews(const UpdateNotice& before, const UpdateNotice& now) {
    return now.Present() && now != before;
}

}  // namespace pellmond
