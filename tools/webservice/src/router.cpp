#include "router.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <sstream>

#include "byte_range.h"
#include "page_token.h"
#include "template.h"

namespace webservice {
namespace {

constexpr char kBaseFolder[] = "/Orvane";
constexpr std::uint64_t kMaxTemplateSize = 4 * 1024 * 1024;

bool IsToken(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
    });
}

std::string ToLower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The path below the optional base folder, without its leading '/'.
std::string BelowBaseFolder(const std::string& path) {
    const std::string base = kBaseFolder;
    if (path == base) return {};
    if (path.rfind(base + "/", 0) == 0) return path.substr(base.size() + 1);
    return path.substr(1);
}

// "a/b.html" with type "show" gives "a/b_show.html".
std::string TypedName(const std::string& relative, const std::string& type) {
    const std::string extension = Extension(relative);
    return relative.substr(0, relative.size() - extension.size()) + "_" + type + extension;
}

// The last path component of a URL, without query or fragment.
std::string LastPathComponent(const std::string& url) {
    const std::string path = url.substr(0, url.find_first_of("?#"));
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

Answer JsonError(const std::string& error) {
    Answer answer;
    answer.contentType = "application/json; charset=utf-8";
    answer.text = "{\"error\":\"" + JsonEscape(error) + "\",\"files\":[]}";
    return answer;
}

std::optional<std::string> ReadSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void ApplyRange(Answer& answer, const std::string& header) {
    const std::uint64_t size = answer.BodySize();
    answer.headers.emplace_back("Accept-Ranges", "bytes");
    const ByteRange range = ParseByteRange(header, size);
    if (range.kind == ByteRange::Kind::kWhole) return;
    if (range.kind == ByteRange::Kind::kUnsatisfiable) {
        answer = TextAnswer(416, "range not satisfiable");
        answer.headers.emplace_back("Content-Range", "bytes */" + std::to_string(size));
        return;
    }
    answer.status = 206;
    answer.headers.emplace_back("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                                     std::to_string(range.last) + "/" +
                                                     std::to_string(size));
    const std::uint64_t length = range.last - range.first + 1;
    if (answer.HasFileBody()) {
        answer.offset += range.first;
        answer.length = length;
    } else {
        answer.text = answer.text.substr(range.first, length);
    }
}

}  // namespace

Answer TextAnswer(int status, const std::string& reason) {
    Answer answer;
    answer.status = status;
    answer.text = reason + "\n";
    return answer;
}

std::string ContentTypeFor(const std::string& path) {
    static const std::map<std::string, std::string> types = {
        {".html", "text/html; charset=utf-8"},
        {".htm", "text/html; charset=utf-8"},
        {".js", "application/javascript; charset=utf-8"},
        {".json", "application/json; charset=utf-8"},
        {".ini", "text/plain; charset=utf-8"},
        {".txt", "text/plain; charset=utf-8"},
        {".m3u", "audio/x-mpegurl"},
        {".m3u8", "application/vnd.apple.mpegurl"},
        {".torrent", "application/x-bittorrent"},
        {".mp4", "video/mp4"},
        {".mkv", "video/x-matroska"},
        {".webm", "video/webm"},
        {".ts", "video/mp2t"},
        {".png", "image/png"},
        {".jpg", "image/jpeg"},
        {".css", "text/css; charset=utf-8"},
    };
    const auto found = types.find(Extension(path));
    return found == types.end() ? "application/octet-stream" : found->second;
}

Router::Router(const Options& options, int port)
    : site_([&] {
          auto roots = options.roots;
          if (!options.siteRoot.empty()) roots.push_back(options.siteRoot);
          return roots;
      }()),
      statuses_(options.statuses),
      port_(port) {
    const VariableLookup builtIns = [this](const std::string& name) { return BuiltIn(name); };
    for (const auto& [name, value] : options.variables)
        variables_.emplace_back(name, ExpandTemplate(value, builtIns, Escape::kNone));
}

std::optional<std::string> Router::BuiltIn(const std::string& name) const {
    const std::string origin = "http://127.0.0.1:" + std::to_string(port_);
    if (name == "origin") return origin;
    if (name == "base") return origin + kBaseFolder + "/";
    if (name == "port") return std::to_string(port_);
    return std::nullopt;
}

std::optional<std::string> Router::Variable(const std::string& name, const QueryItems& query,
                                            const Extras& extras) const {
    for (const auto& [key, value] : extras)
        if (key == name) return value;
    for (const auto& [key, value] : variables_)
        if (key == name) return value;
    if (auto value = QueryValue(query, name)) return value;
    return BuiltIn(name);
}

Answer Router::Route(const Request& request) const {
    if (request.method != "GET" && request.method != "HEAD") {
        Answer answer = TextAnswer(405, "only GET and HEAD are answered");
        answer.headers.emplace_back("Allow", "GET, HEAD");
        return answer;
    }
    const auto questionMark = request.target.find('?');
    const std::string rawPath = request.target.substr(0, questionMark);
    const std::string query =
        questionMark == std::string::npos ? "" : request.target.substr(questionMark + 1);
    const auto path = PercentDecode(rawPath);
    if (rawPath.empty() || rawPath[0] != '/' || !path) return TextAnswer(400, "bad target");
    const auto decodedTarget = PercentDecode(request.target);
    if (const auto* rule = MatchRule(statuses_, request.target, decodedTarget.value_or("")))
        return TextAnswer(static_cast<int>(rule->value), "status set by --status");

    const QueryItems items = ParseQuery(query);
    std::string relative = BelowBaseFolder(*path);
    if (relative.empty() && QueryValue(items, "tk")) return RouteResolve(items, request);
    if (relative.empty() || relative.back() == '/') relative += "index.html";
    return RouteFile(relative, items, request);
}

Answer Router::RouteFile(const std::string& relative, const QueryItems& query,
                         const Request& request) const {
    std::optional<std::string> path;
    const auto type = QueryValue(query, "type");
    if (type && IsToken(*type)) path = site_.Find(TypedName(relative, *type));
    if (!path) path = site_.Find(relative);
    if (!path) return TextAnswer(404, "not found");
    return FileAnswer(*path, query, {}, request);
}

Answer Router::RouteResolve(const QueryItems& query, const Request& request) const {
    const auto tk = QueryValue(query, "tk");
    const auto url = QueryValue(query, "url");
    if (!url || QueryValue(query, "t").value_or("") != "json")
        return TextAnswer(400, "the resolve request wants tk, url and t=json");
    const auto page = Base64Decode(*url);
    if (!page || page->empty()) return JsonError("invalid url");
    if (PageToken(*page) != ToLower(*tk)) return JsonError("invalid token");

    std::optional<std::string> path;
    const std::string name = LastPathComponent(*page);
    if (IsToken(name)) path = site_.Find("resolve/" + name + ".json");
    if (!path) path = site_.Find("resolve.json");
    if (!path) return JsonError("no video on this page");
    return FileAnswer(*path, query, {{"page", *page}}, request);
}

Answer Router::FileAnswer(const std::string& path, const QueryItems& query, const Extras& extras,
                          const Request& request) const {
    Answer answer;
    answer.contentType = ContentTypeFor(path);
    const std::string extension = Extension(path);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return TextAnswer(404, "not found");
    if (IsTemplateExtension(extension)) {
        if (static_cast<std::uint64_t>(info.st_size) > kMaxTemplateSize)
            return TextAnswer(500, "text answer too large");
        const auto text = ReadSmallFile(path);
        if (!text) return TextAnswer(500, "cannot read the answer file");
        const VariableLookup lookup = [&](const std::string& name) {
            return Variable(name, query, extras);
        };
        answer.text = ExpandTemplate(*text, lookup, EscapeForExtension(extension));
    } else {
        answer.filePath = path;
        answer.length = static_cast<std::uint64_t>(info.st_size);
    }
    ApplyRange(answer, request.range);
    return answer;
}

}  // namespace webservice
