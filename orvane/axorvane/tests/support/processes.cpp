#include "processes.h"

#include <dirent.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

namespace webroadtest {

namespace {

std::string ProcFile(pid_t pid, const char* name) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The fields of /proc/<pid>/stat after the command name: state, parent, ...
std::vector<std::string> StatFields(pid_t pid) {
    const std::string stat = ProcFile(pid, "stat");
    const std::size_t close = stat.rfind(')');
    std::vector<std::string> fields;
    if (close == std::string::npos) return fields;
    std::istringstream in(stat.substr(close + 1));
    for (std::string field; in >> field;) fields.push_back(field);
    return fields;
}

std::string ExecutableOf(pid_t pid) {
    char target[PATH_MAX];
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    const ssize_t length = readlink(link.c_str(), target, sizeof target);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

std::vector<pid_t> ProcessesRunning(const std::string& path) {
    std::vector<pid_t> found;
    const std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
    if (!proc) return found;
    while (const dirent* entry = readdir(proc.get())) {
        if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0]))) continue;
        const pid_t pid = static_cast<pid_t>(std::stol(entry->d_name));
        if (ExecutableOf(pid) == path && IsRunning(pid)) found.push_back(pid);
    }
    return found;
}

pid_t ParentOf(pid_t pid) {
    const std::vector<std::string> fields = StatFields(pid);
    return fields.size() > 1 ? static_cast<pid_t>(std::stol(fields[1])) : 0;
}

std::vector<std::string> ArgumentsOf(pid_t pid) {
    const std::string line = ProcFile(pid, "cmdline");
    std::vector<std::string> arguments;
    std::size_t from = line.find('\0');
    while (from != std::string::npos && from + 1 < line.size()) {
        const std::size_t end = line.find('\0', from + 1);
        arguments.push_back(line.substr(from + 1, end - from - 1));
        from = end;
    }
    return arguments;
}

bool IsRunning(pid_t pid) {
    const std::vector<std::string> fields = StatFields(pid);
    return !fields.empty() && fields[0] != "Z" && fields[0] != "X";
}

}  // namespace webroadtest
