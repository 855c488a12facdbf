// Ini files with Windows profile semantics (see platform/ini_file.h).
//
// The file is read whole on every call and kept as its original lines, so a write changes
// exactly one line (or adds one, or a section at the end) and leaves every other byte alone:
// comments, blank lines, "\r\n" line ends, a UTF-8 byte-order mark, and the spacing around
// '=' of the line it replaces.
//
// Parsing, line by line (after trimming blanks):
//   - empty                       blank
//   - begins with ';'             comment
//   - begins with '['             section; the name runs to the first ']' (or the line's end),
//                                 blanks trimmed
//   - holds '=' with a non-empty  key line; key = text before the first '=', value = text
//     key before it                 after it, both with blanks trimmed; nothing else is taken
//                                 from the value (no quotes removed, no inline comments)
//   - anything else               kept, ignored
// Lines before the first section belong to no section. Names compare without regard to ASCII
// case. When a section or key occurs twice, the first occurrence in the file wins (a section
// that occurs twice is searched in file order).
//
// Writing: read-modify-write under an exclusive flock() on a side lock file
// ("<folder>/.<name>.lock"; the ini itself cannot carry the lock because the rename replaces
// it), then WriteFileAtomically. Readers take no lock: the rename gives them either the whole
// old file or the whole new one.
#include "platform/ini_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <system_error>

#include "file_lock.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

std::string Slashes(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

enum class Kind { Blank, Comment, Section, Key, Other };

struct Line {
    std::string raw;  // as in the file, without its '\n' (a '\r' before it stays here)
    Kind kind = Kind::Other;
    std::string name;   // section name or key
    std::string value;  // key lines only
    int section = -1;   // index of the section line this line belongs to; -1 before the first
};

struct IniText {
    std::vector<Line> lines;
    bool finalNewline = false;
    bool crlf = false;  // the file's first line ends with "\r\n": new lines follow that style
};

void ParseLine(Line& line, bool first) {
    std::string text = line.raw;
    if (first && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);  // UTF-8 BOM
    const std::string t = Trim(text);
    if (t.empty()) {
        line.kind = Kind::Blank;
    } else if (t[0] == ';') {
        line.kind = Kind::Comment;
    } else if (t[0] == '[') {
        line.kind = Kind::Section;
        const size_t close = t.find(']');
        line.name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    } else {
        const size_t eq = t.find('=');
        if (eq != std::string::npos && !Trim(t.substr(0, eq)).empty()) {
            line.kind = Kind::Key;
            line.name = Trim(t.substr(0, eq));
            line.value = Trim(t.substr(eq + 1));
        } else {
            line.kind = Kind::Other;
        }
    }
}

IniText Parse(const std::string& content) {
    IniText ini;
    size_t pos = 0;
    int section = -1;
    while (pos < content.size()) {
        size_t nl = content.find('\n', pos);
        Line line;
        if (nl == std::string::npos) {
            line.raw = content.substr(pos);
            pos = content.size();
        } else {
            line.raw = content.substr(pos, nl - pos);
            pos = nl + 1;
            if (pos == content.size()) ini.finalNewline = true;
        }
        const bool first = ini.lines.empty();
        if (first) ini.crlf = !line.raw.empty() && line.raw.back() == '\r';
        ParseLine(line, first);
        if (line.kind == Kind::Section) section = static_cast<int>(ini.lines.size());
        line.section = section;
        ini.lines.push_back(std::move(line));
    }
    return ini;
}

std::string Serialize(const IniText& ini) {
    std::string out;
    for (size_t i = 0; i < ini.lines.size(); ++i) {
        if (i) out += '\n';
        out += ini.lines[i].raw;
    }
    if (ini.finalNewline && !ini.lines.empty()) out += '\n';
    return out;
}

IniText Load(const std::string& path) {
    std::string content;
    ReadWholeFile(path, content);
    return Parse(content);
}

// True when line i lies in a section named `section`.
bool InSection(const IniText& ini, size_t i, const std::string& section) {
    const int s = ini.lines[i].section;
    return s >= 0 && EqualNoCase(ini.lines[s].name, section);
}

// Index of the first key line for section/key, or -1.
long FindKey(const IniText& ini, const std::string& section, const std::string& key) {
    for (size_t i = 0; i < ini.lines.size(); ++i) {
        const Line& l = ini.lines[i];
        if (l.kind == Kind::Key && EqualNoCase(l.name, key) && InSection(ini, i, section))
            return static_cast<long>(i);
    }
    return -1;
}

// Writers of one ini file serialise on "<folder>/.<name>.lock".
std::string SideLockPath(const std::string& path) {
    const fs::path p(path);
    return (p.parent_path() / ("." + p.filename().string() + ".lock")).string();
}

bool HasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

// Creates the folder of `path`; the lock file lives there, so it must exist before locking.
bool MakeParent(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    if (parent.empty()) return true;
    std::error_code ec;
    fs::create_directories(parent, ec);
    return fs::is_directory(parent, ec);
}

}  // namespace

std::string IniReadString(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& defaultValue) {
    const IniText ini = Load(Slashes(path));
    const long i = FindKey(ini, Trim(section), Trim(key));
    return i < 0 ? defaultValue : ini.lines[i].value;
}

int IniReadInt(const std::string& path, const std::string& section, const std::string& key,
               int defaultValue) {
    const IniText ini = Load(Slashes(path));
    const long i = FindKey(ini, Trim(section), Trim(key));
    if (i < 0) return defaultValue;
    const std::string& v = ini.lines[i].value;
    size_t p = 0;
    bool negative = false;
    if (p < v.size() && (v[p] == '+' || v[p] == '-')) negative = v[p++] == '-';
    if (p >= v.size() || v[p] < '0' || v[p] > '9') return defaultValue;
    long long n = 0;
    for (; p < v.size() && v[p] >= '0' && v[p] <= '9'; ++p) {
        n = n * 10 + (v[p] - '0');
        if (n > static_cast<long long>(INT_MAX) + 1) n = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) n = -n;
    if (n > INT_MAX) n = INT_MAX;  // out-of-range numbers saturate
    return static_cast<int>(n);
}

namespace {

bool CanHold(const std::string& section, const std::string& key, const std::string& value) {
    if (section.empty() || key.empty()) return false;
    if (HasLineBreak(section) || section.find(']') != std::string::npos) return false;
    if (HasLineBreak(key) || key.find('=') != std::string::npos || key[0] == '[' || key[0] == ';')
        return false;
    return !HasLineBreak(value);
}

// `section` and `key` trimmed and checked with CanHold. The lines are parsed afresh before
// the next change.
void SetKey(IniText& ini, const std::string& section, const std::string& key,
            const std::string& value) {
    const std::string cr = ini.crlf ? "\r" : "";
    const long found = FindKey(ini, section, key);
    if (found >= 0) {
        // Keep the line's own key spelling and the spacing around '='; replace the value.
        Line& l = ini.lines[found];
        const size_t eq = l.raw.find('=');
        size_t start = eq + 1;
        while (start < l.raw.size() && (l.raw[start] == ' ' || l.raw[start] == '\t')) ++start;
        if (l.value.empty()) start = std::min(start, eq + 2);  // "key =   ": keep one blank
        const bool hadCr = !l.raw.empty() && l.raw.back() == '\r';
        l.raw = l.raw.substr(0, start) + value + (hadCr ? "\r" : "");
        return;
    }
    // The first section of that name: insert after its last key (or other content) line.
    long header = -1, last = -1;
    for (size_t i = 0; i < ini.lines.size(); ++i) {
        const Line& l = ini.lines[i];
        if (header < 0) {
            if (l.kind == Kind::Section && EqualNoCase(l.name, section))
                header = last = static_cast<long>(i);
            continue;
        }
        if (l.section != header) break;
        if (l.kind == Kind::Key || l.kind == Kind::Other) last = static_cast<long>(i);
    }
    Line added;
    added.raw = key + "=" + value + cr;
    if (header >= 0) {
        // A last line without '\n' gets one, so the new line does not join it.
        if (last == static_cast<long>(ini.lines.size()) - 1) ini.finalNewline = true;
        ini.lines.insert(ini.lines.begin() + last + 1, added);
        return;
    }
    if (!ini.lines.empty() && Trim(ini.lines.back().raw).size() > 0) {
        Line blank;
        blank.raw = cr;
        ini.lines.push_back(blank);
    }
    Line head;
    head.raw = "[" + section + "]" + cr;
    ini.lines.push_back(head);
    ini.lines.push_back(added);
    ini.finalNewline = true;
}

bool DeleteKey(IniText& ini, const std::string& section, const std::string& key) {
    bool removed = false;
    for (size_t i = ini.lines.size(); i-- > 0;) {
        const Line& l = ini.lines[i];
        if (l.kind == Kind::Key && EqualNoCase(l.name, key) && InSection(ini, i, section)) {
            ini.lines.erase(ini.lines.begin() + i);
            removed = true;
        }
    }
    return removed;
}

}  // namespace

std::string IniTextReadString(const std::string& text, const std::string& section,
                              const std::string& key, const std::string& defaultValue) {
    const IniText ini = Parse(text);
    const long i = FindKey(ini, Trim(section), Trim(key));
    return i < 0 ? defaultValue : ini.lines[i].value;
}

bool IniTextWriteString(std::string& text, const std::string& sectionIn, const std::string& keyIn,
                        const std::string& value) {
    const std::string section = Trim(sectionIn);
    const std::string key = Trim(keyIn);
    if (!CanHold(section, key, value)) return false;
    IniText ini = Parse(text);
    SetKey(ini, section, key, value);
    text = Serialize(ini);
    return true;
}

void IniTextDeleteKey(std::string& text, const std::string& section, const std::string& key) {
    IniText ini = Parse(text);
    if (DeleteKey(ini, Trim(section), Trim(key))) text = Serialize(ini);
}

bool IniWriteString(const std::string& pathIn, const std::string& sectionIn,
                    const std::string& keyIn, const std::string& value) {
    const std::string path = Slashes(pathIn);
    // What the file format cannot hold is refused rather than written wrongly.
    if (path.empty() || !CanHold(Trim(sectionIn), Trim(keyIn), value)) return false;
    return IniRewrite(path, [&](const std::string& present) {
        std::string updated = present;
        IniTextWriteString(updated, sectionIn, keyIn, value);
        return updated;
    });
}

bool IniRewrite(const std::string& pathIn,
                const std::function<std::string(const std::string& present)>& change) {
    const std::string path = Slashes(pathIn);
    if (path.empty() || !MakeParent(path)) return false;
    ExclusiveFileLock lock(SideLockPath(path), 0666);
    if (!lock.locked()) return false;
    std::string original;
    std::error_code ec;
    // A file that exists but cannot be read is not replaced by one holding only the change.
    if (!ReadWholeFile(path, original) && (fs::exists(path, ec) || ec)) return false;
    const std::string updated = change(original);
    // Unchanged: nothing to write (and no empty file to make).
    if (updated == original && (updated.empty() || fs::exists(path, ec))) return true;
    return WriteFileAtomically(path, updated);
}

bool IniDeleteKey(const std::string& pathIn, const std::string& section, const std::string& key) {
    const std::string path = Slashes(pathIn);
    std::error_code ec;
    if (path.empty() || !fs::exists(path, ec)) return true;
    if (FindKey(Load(path), Trim(section), Trim(key)) < 0) return true;
    return IniRewrite(path, [&](const std::string& present) {
        std::string updated = present;
        IniTextDeleteKey(updated, section, key);
        return updated;
    });
}

std::vector<std::string> IniSections(const std::string& path) {
    const IniText ini = Load(Slashes(path));
    std::vector<std::string> names;
    for (const Line& l : ini.lines) {
        if (l.kind != Kind::Section) continue;
        bool seen = false;
        for (const std::string& n : names) seen = seen || EqualNoCase(n, l.name);
        if (!seen) names.push_back(l.name);
    }
    return names;
}

std::vector<std::string> IniKeys(const std::string& path, const std::string& sectionIn) {
    const IniText ini = Load(Slashes(path));
    const std::string section = Trim(sectionIn);
    std::vector<std::string> keys;
    for (size_t i = 0; i < ini.lines.size(); ++i) {
        const Line& l = ini.lines[i];
        if (l.kind != Kind::Key || !InSection(ini, i, section)) continue;
        bool seen = false;
        for (const std::string& k : keys) seen = seen || EqualNoCase(k, l.name);
        if (!seen) keys.push_back(l.name);
    }
    return keys;
}

bool WriteFileAtomically(const std::string& pathIn, const std::string& content) {
    fs::path target(Slashes(pathIn));
    if (target.empty() || !target.has_filename()) return false;
    std::error_code ec;
    // A symbolic link keeps pointing at the file: its target is the one replaced.
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec) target = resolved;
    }
    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    fs::create_directories(folder, ec);

    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) return false;

    // A unique name in the same folder (the rename must not cross file systems). O_EXCL with
    // mode 0666 lets the umask decide the permissions of a new file.
    static std::atomic<unsigned> counter{0};
    std::string base = target.filename().string();
    if (base.size() > 200) base.resize(200);
    fs::path temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder / ("." + base + ".tmp-" + std::to_string(::getpid()) + "-" +
                         std::to_string(counter.fetch_add(1)));
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    if (exists) ::fchmod(fd, existing.st_mode & 07777);

    bool ok = true;
    const char* data = content.data();
    size_t left = content.size();
    while (ok && left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
        } else {
            data += n;
            left -= static_cast<size_t>(n);
        }
    }
    // The data reaches the disk before the name does, so a system crash leaves the old file
    // or the new one, never an empty or partial one.
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) ok = false;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

}  // namespace platform
