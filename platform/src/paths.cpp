#include "platform/paths.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <system_error>
#include <vector>

namespace platform {
namespace {

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string HomeDir() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    return "/tmp";
}

// $name when it is set to an absolute path (the XDG rule), else $HOME + fallback.
std::string XdgDir(const char* name, const char* fallback) {
    if (const char* value = std::getenv(name); value && value[0] == '/') return value;
    return HomeDir() + fallback;
}

}  // namespace

std::string ModuleDirectory(const void* address) {
    Dl_info info{};
    link_map* module = nullptr;
    // The main program's entry has no name of its own (dladdr would answer the name it was
    // started by, relative to a folder that may no longer be the current one): it is the
    // executable, found through /proc/self/exe.
    if (dladdr1(address, &info, reinterpret_cast<void**>(&module), RTLD_DL_LINKMAP) == 0 ||
        module == nullptr || module->l_name == nullptr || module->l_name[0] == '\0')
        return ExecutableDirectory();
    std::error_code ec;
    const auto canonical = std::filesystem::canonical(module->l_name, ec);
    if (ec) return ExecutableDirectory();
    return DirectoryOf(canonical.string());
}

std::string ExecutablePath() {
    std::vector<char> buffer(4096);
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return {};
    return std::string(buffer.data(), static_cast<size_t>(n));
}

std::string ExecutableDirectory() { return DirectoryOf(ExecutablePath()); }

std::string FileNamePart(const std::string& path) {
    const auto sep = path.find_last_of("/\\");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string ToNativeSeparators(std::string path) {
    for (auto& c : path)
        if (c == '\\') c = '/';
    return path;
}

std::string PathAppend(const std::string& base, const std::string& name) {
    const std::string b = ToNativeSeparators(base);
    const std::string n = ToNativeSeparators(name);
    const std::string joined = (!n.empty() && n[0] == '/') ? n : (b.empty() ? n : b + "/" + n);
    const bool absolute = !joined.empty() && joined[0] == '/';

    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= joined.size()) {
        const size_t end = std::min(joined.find('/', start), joined.size());
        const std::string part = joined.substr(start, end - start);
        if (part.empty() || part == ".") {
            // skip
        } else if (part == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (!absolute)
                parts.push_back(part);  // a relative path may still climb
        } else {
            parts.push_back(part);
        }
        start = end + 1;
    }

    std::string result = absolute ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) result += '/';
        result += parts[i];
    }
    if (result.empty()) result = ".";
    return result;
}

std::string LinuxFileName(const std::string& windowsName) {
    static const std::map<std::string, std::string> table = {
        {"orvane.exe", "orvane"},
        {"orvane_proxy.exe", "orvane_proxy"},
        {"kvupdater.exe", "KvUpdater"},
        {"ferrule.dll", "libFerrule.so"},
        {"aplayer.dll", "libAPlayer.so"},
        {"pellmond.dll", "libPellmond.so"},
        {"tarnwick.dll", "libTarnwick.so"},
        {"kvbt.dll", "libKvBT.so"},
        {"orvane_ax.dll", "liborvane_ax.so"},
        {"axorvane.dll", "libaxorvane.so"},
        {"regsvr32.exe", "regsvr"},
    };
    // Windows file names compare without regard to case; keep any folder part as given.
    const auto sep = windowsName.find_last_of("/\\");
    const std::string folder = sep == std::string::npos ? "" : windowsName.substr(0, sep + 1);
    std::string file = sep == std::string::npos ? windowsName : windowsName.substr(sep + 1);
    std::string lower = file;
    for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto it = table.find(lower);
    return it == table.end() ? windowsName : folder + it->second;
}

std::string UserDataDir() { return XdgDir("XDG_DATA_HOME", "/.local/share"); }
std::string UserConfigDir() { return XdgDir("XDG_CONFIG_HOME", "/.config"); }
std::string UserCacheDir() { return XdgDir("XDG_CACHE_HOME", "/.cache"); }
std::string UserStateDir() { return XdgDir("XDG_STATE_HOME", "/.local/state"); }

std::string UserRuntimeDir() {
    // A private 0700 folder of ours: under $XDG_RUNTIME_DIR when the session has one,
    // else in /tmp, named after the user.
    std::string dir;
    if (const char* value = std::getenv("XDG_RUNTIME_DIR"); value && value[0] == '/') {
        struct stat st {};
        if (stat(value, &st) == 0 && S_ISDIR(st.st_mode)) dir = std::string(value) + "/orvane";
    }
    if (dir.empty()) dir = "/tmp/orvane-" + std::to_string(getuid());
    mkdir(dir.c_str(), 0700);
    // Refuse a folder that someone else planted at our name.
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return {};
    if ((st.st_mode & 0077) != 0) chmod(dir.c_str(), 0700);
    return dir;
}

bool MakeDirectories(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    std::filesystem::create_directories(ToNativeSeparators(path), ec);
    return std::filesystem::is_directory(ToNativeSeparators(path), ec);
}

}  // namespace platform
