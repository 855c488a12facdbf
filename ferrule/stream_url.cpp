#include "stream_url.h"

#include <list>

#include "base64.h"
#include "string_utils.h"
#include "task_key.h"

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// URL decoding turned the Base64 '+' into blanks.
std::string DecodeValue(const std::string& item, std::size_t nameLength) {
    std::string value = item.substr(nameLength);
    for (char& c : value) {
        if (c == ' ') c = '+';
    }
    return Base64Decode(value);
}

void AppendList(const std::string& text, std::vector<std::string>& into) {
    for (const std::string& part : SplitString(text, ";")) into.push_back(part);
}

}  // namespace

bool ParseStreamPath(const std::string& path, StreamTaskOptions& options) {
    std::string rest = path;
    if (StartsWith(rest, "/")) rest.erase(0, 1);
    if (StartsWith(rest, "/")) rest.erase(0, 1);

    std::list<std::string> items;
    SplitText(rest, ',', items, true);
    bool any = false;
    for (const std::string& item : items) {
        if (StartsWith(item, "bturl:")) {
            const std::string source = DecodeValue(item, 6);
            const std::string lowered = ToLower(source.substr(0, 7));
            // A later source replaces the earlier one of either kind.
            options.engineUrl.clear();
            options.torrentUrls.clear();
            if (StartsWith(lowered, "magnet:") || StartsWith(lowered, "kvbt:")) {
                options.engineUrl = source;
            } else {
                options.torrentUrls.push_back(source);
            }
            options.key = MakeTaskKey(source);
        } else if (StartsWith(item, "httpurl:")) {
            AppendList(DecodeValue(item, 8), options.httpUrls);
        } else if (StartsWith(item, "sources:")) {
            AppendList(DecodeValue(item, 8), options.peerSources);
        } else if (StartsWith(item, "private:")) {
            if (DecodeValue(item, 8) == "true") options.isPrivate = 1;
        } else if (StartsWith(item, "crypt:")) {
            if (DecodeValue(item, 6) == "true") options.crypt = 1;
        } else {
            continue;
        }
        any = true;
    }
    return any;
}
