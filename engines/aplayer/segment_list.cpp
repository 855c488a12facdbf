#include "segment_list.h"

#include <sstream>
#include <vector>

#include "platform/regular_file.h"

namespace aplayer {

namespace {

constexpr std::size_t kMaxListBytes = 1 << 20;

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

bool IsAbsolute(const std::string& entry) {
    return StartsWith(entry, "/") || entry.find("://") != std::string::npos;
}

}  // namespace

std::string SegmentListAsTimeline(const std::string& url) {
    if (url.empty() || url.find("://") != std::string::npos) return url;
    // Only a regular file of a list's size is read: a FIFO would keep the caller waiting for a
    // writer, and a device would feed it without end. mpv deals with anything else.
    std::string text, error;
    if (!platform::ReadRegularFile(url, kMaxListBytes, text, error)) return url;
    std::istringstream file(text);
    std::string line;
    if (!std::getline(file, line) || !StartsWith(line, "#EXTM3U")) return url;

    std::vector<std::string> entries;
    while (std::getline(file, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (line.empty()) continue;
        if (StartsWith(line, "#EXT-X-") && line != "#EXT-X-ENDLIST") return url;
        if (line[0] != '#') entries.push_back(line);
    }
    if (entries.empty()) return url;

    const auto slash = url.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : url.substr(0, slash);
    std::string timeline = "edl://";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string path = IsAbsolute(entries[i]) ? entries[i] : folder + "/" + entries[i];
        // Length-prefixed, so that ';' and ',' in a URL are taken literally.
        if (i > 0) timeline += ';';
        timeline += '%' + std::to_string(path.size()) + '%' + path;
    }
    return timeline;
}

}  // namespace aplayer
