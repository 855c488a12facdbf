// A file-backed emulation of the registry (see platform/registry.h).
//
// On disk: <config>/orvane/registry/HKEY_CURRENT_USER.hive and HKEY_LOCAL_MACHINE.hive, one
// text file per hive, and ".lock", the file that writers flock(). A hive file reads like this:
//
//   ; orvane registry hive HKEY_CURRENT_USER (format 1)
//   [Software\Classes\.mp4]
//   @="orvane.mp4"
//   "ovbak"=""
//   "Count"=int:42
//
// - "[path]" opens a key: its full path, components joined by '\'. Inside a component, '%'
//   and control characters are written as %XX (two hex digits); everything else, '[', ']',
//   '=', '"', blanks and UTF-8 included, stands as it is (the path is whatever lies between
//   the line's first '[' and its last ']'). "[]" is the hive's root key.
// - Each following line holds one value of that key: '@' names the default value, "name" a
//   named one; then '=' and either a string in double quotes or int:<decimal> (64-bit).
// - Inside double quotes, '\' escapes: \\ \" \n \r \t, and \xHH for other control bytes;
//   every other byte is written as it is. So any UTF-8 text (and in fact any bytes) round-trips.
// - Lines beginning with ';' or '#' and blank lines are ignored; leading and trailing blanks
//   of a line are ignored. Every key is written (parents before children, siblings sorted
//   without regard to case); values in the order they were first set.
//
// Outside a transaction every call reads the hive files afresh, so other processes' changes
// are seen at once, and a change runs read-modify-write under an exclusive flock() on
// registry/.lock (one lock for both hives, so a ClassesRoot write that consults one hive and
// writes the other is one step), replacing the changed hive files with WriteFileAtomically.
// A RegistryTransaction holds that lock for its lifetime: the hives are read once, every call
// of its thread works on them in memory, and the end writes each hive whose text changed once
// (one fsync each). Readers take no lock: the rename gives them a whole file, old or new.
//
// Key paths: components are split at '\' (empty components, as in "A\\B" or a leading '\',
// are ignored; '/' is an ordinary character, as in "video/mp4"). Key names and value names
// compare without regard to ASCII case and keep the spelling of their first writer.
//
// HKEY_CLASSES_ROOT: reads (values, existence, enumeration) look at HKCU\Software\Classes and
// HKLM\Software\Classes, the current user's entry first; creating a key and setting a value go
// to HKCU when the key exists there, else to HKLM; deleting a value or a key through the view
// deletes it from both hives, so that the view no longer shows it afterwards.
#include "platform/registry.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <system_error>

#include "file_lock.h"
#include "platform/ini_file.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

using Components = std::vector<std::string>;
using Values = std::vector<std::pair<std::string, RegistryValue>>;

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Folded(std::string s) {
    for (char& c : s) c = Fold(c);
    return s;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

Components Split(const std::string& path) {
    Components parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string Join(const Components& parts, size_t count) {
    std::string out;
    for (size_t i = 0; i < count && i < parts.size(); ++i) {
        if (i) out += '\\';
        out += parts[i];
    }
    return out;
}
std::string Join(const Components& parts) { return Join(parts, parts.size()); }

// Orders folded paths so that '\' sorts before every other character: a key's descendants then
// follow it directly, parents come before children and siblings sort by name.
struct PathLess {
    static int Rank(char c) { return c == '\\' ? -1 : static_cast<unsigned char>(c); }
    bool operator()(const std::string& a, const std::string& b) const {
        const size_t n = std::min(a.size(), b.size());
        for (size_t i = 0; i < n; ++i) {
            const int ra = Rank(a[i]), rb = Rank(b[i]);
            if (ra != rb) return ra < rb;
        }
        return a.size() < b.size();
    }
};

struct Key {
    std::string path;  // as its first writers spelled it; "" for the root
    Values values;
};

// Folded path -> key. The root ("") is always present.
using HiveMap = std::map<std::string, Key, PathLess>;

const char* HiveName(Hive hive) {
    return hive == Hive::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

std::string HivePath(Hive hive) { return RegistryDirectory() + "/" + HiveName(hive) + ".hive"; }

Key* FindKey(HiveMap& map, const Components& parts) {
    auto it = map.find(Folded(Join(parts)));
    return it == map.end() ? nullptr : &it->second;
}
const Key* FindKey(const HiveMap& map, const Components& parts) {
    auto it = map.find(Folded(Join(parts)));
    return it == map.end() ? nullptr : &it->second;
}

// Creates the key and its missing parents; `changed` is set when anything was created.
Key& EnsureKey(HiveMap& map, const Components& parts, bool& changed) {
    Key* key = &map[""];
    for (size_t i = 1; i <= parts.size(); ++i) {
        const std::string folded = Folded(Join(parts, i));
        auto it = map.find(folded);
        if (it == map.end()) {
            Key created;
            created.path = key->path.empty() ? parts[i - 1] : key->path + "\\" + parts[i - 1];
            it = map.emplace(folded, std::move(created)).first;
            changed = true;
        }
        key = &it->second;
    }
    return *key;
}

Values::iterator FindValue(Values& values, const std::string& name) {
    for (auto it = values.begin(); it != values.end(); ++it)
        if (EqualNoCase(it->first, name)) return it;
    return values.end();
}

bool HasSubKeys(const HiveMap& map, const Components& parts) {
    const std::string folded = Folded(Join(parts));
    auto next = map.upper_bound(folded);
    if (next == map.end()) return false;
    if (folded.empty()) return true;  // anything after the root lies below it
    return next->first.size() > folded.size() &&
           next->first.compare(0, folded.size(), folded) == 0 && next->first[folded.size()] == '\\';
}

// Direct sub-keys' names, in the map's (case-insensitive) order.
std::vector<std::string> SubKeyNames(const HiveMap& map, const Components& parts) {
    std::vector<std::string> names;
    const std::string folded = Folded(Join(parts));
    const std::string prefix = folded.empty() ? "" : folded + "\\";
    for (auto it = map.upper_bound(folded); it != map.end(); ++it) {
        if (it->first.compare(0, prefix.size(), prefix) != 0) break;
        if (it->first.find('\\', prefix.size()) != std::string::npos) continue;
        const std::string& path = it->second.path;
        const size_t slash = path.rfind('\\');
        names.push_back(slash == std::string::npos ? path : path.substr(slash + 1));
    }
    return names;
}

// ---- the text form ----

const char kHex[] = "0123456789ABCDEF";

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

std::string EncodeComponent(const std::string& s) {
    std::string out;
    for (char ch : s) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '%' || IsControl(c)) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

std::string DecodeComponents(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (char ch : s) {
        const unsigned char c = static_cast<unsigned char>(ch);
        switch (ch) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (IsControl(c)) {
                    out += "\\x";
                    out += kHex[c >> 4];
                    out += kHex[c & 15];
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
    return out;
}

// Reads a quoted string starting at line[pos] == '"'; pos ends after the closing quote.
bool Unquote(const std::string& line, size_t& pos, std::string& out) {
    out.clear();
    if (pos >= line.size() || line[pos] != '"') return false;
    for (++pos; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++pos >= line.size()) return false;
        switch (line[pos]) {
            case '\\':
                out += '\\';
                break;
            case '"':
                out += '"';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'x':
                if (pos + 2 >= line.size() || HexDigit(line[pos + 1]) < 0 ||
                    HexDigit(line[pos + 2]) < 0)
                    return false;
                out += static_cast<char>(HexDigit(line[pos + 1]) * 16 + HexDigit(line[pos + 2]));
                pos += 2;
                break;
            default:
                return false;
        }
    }
    return false;  // no closing quote
}

bool ParseInt64(const std::string& s, std::int64_t& out) {
    if (s.empty()) return false;
    size_t i = 0;
    const bool negative = s[0] == '-';
    if (s[0] == '-' || s[0] == '+') ++i;
    if (i >= s.size()) return false;
    // Accumulate negatively so that INT64_MIN fits.
    std::int64_t n = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        const int d = s[i] - '0';
        if (n < (INT64_MIN + d) / 10) return false;
        n = n * 10 - d;
    }
    if (!negative) {
        if (n == INT64_MIN) return false;
        n = -n;
    }
    out = n;
    return true;
}

std::string Serialize(Hive hive, const HiveMap& map) {
    std::string out = std::string("; orvane registry hive ") + HiveName(hive) + " (format 1)\n";
    out +=
        "; [key path]; then one value a line: @ = default value, \"name\" = named value;\n"
        "; a value is \"text\" (escapes \\\\ \\\" \\n \\r \\t \\xHH) or int:<decimal>.\n";
    for (const auto& [folded, key] : map) {
        if (folded.empty() && key.values.empty()) continue;
        out += "\n[";
        const Components parts = Split(key.path);
        for (size_t i = 0; i < parts.size(); ++i) {
            if (i) out += '\\';
            out += EncodeComponent(parts[i]);
        }
        out += "]\n";
        for (const auto& [name, value] : key.values) {
            out += name.empty() ? std::string("@") : Quote(name);
            out += '=';
            if (const auto* text = std::get_if<std::string>(&value))
                out += Quote(*text);
            else
                out += "int:" + std::to_string(std::get<std::int64_t>(value));
            out += '\n';
        }
    }
    return out;
}

HiveMap Parse(const std::string& content) {
    HiveMap map;
    map[""];
    Key* current = nullptr;
    size_t pos = 0;
    while (pos < content.size()) {
        size_t nl = content.find('\n', pos);
        if (nl == std::string::npos) nl = content.size();
        std::string line = content.substr(pos, nl - pos);
        pos = nl + 1;
        size_t b = 0, e = line.size();
        while (b < e && (line[b] == ' ' || line[b] == '\t')) ++b;
        while (e > b && (line[e - 1] == ' ' || line[e - 1] == '\t' || line[e - 1] == '\r')) --e;
        line = line.substr(b, e - b);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;

        if (line[0] == '[') {
            if (line.back() != ']') {
                current = nullptr;  // damaged line: its values are not put anywhere else
                continue;
            }
            bool changed = false;
            current =
                &EnsureKey(map, Split(DecodeComponents(line.substr(1, line.size() - 2))), changed);
            continue;
        }
        if (!current) continue;

        std::string name;
        size_t p = 0;
        if (line[0] == '@') {
            p = 1;
        } else if (!Unquote(line, p, name)) {
            continue;
        }
        if (p >= line.size() || line[p] != '=') continue;
        ++p;
        RegistryValue value;
        if (p < line.size() && line[p] == '"') {
            std::string text;
            if (!Unquote(line, p, text) || p != line.size()) continue;
            value = std::move(text);
        } else if (line.compare(p, 4, "int:") == 0) {
            std::int64_t n = 0;
            if (!ParseInt64(line.substr(p + 4), n)) continue;
            value = n;
        } else {
            continue;
        }
        auto it = FindValue(current->values, name);
        if (it != current->values.end())
            it->second = std::move(value);
        else
            current->values.emplace_back(std::move(name), std::move(value));
    }
    return map;
}

// False when the hive file exists but cannot be read (`map` then holds an empty hive); a
// missing file is an empty hive.
bool LoadHive(Hive hive, HiveMap& map) {
    const std::string path = HivePath(hive);
    std::string content;
    bool ok = ReadWholeFile(path, content);
    if (!ok) {
        std::error_code ec;
        ok = !fs::exists(path, ec) && !ec;
    }
    map = Parse(ok ? content : std::string());
    return ok;
}

HiveMap LoadHive(Hive hive) {
    HiveMap map;
    LoadHive(hive, map);
    return map;
}

// ---- views and changes ----

struct View {
    Hive hive;  // CurrentUser or LocalMachine
    Components parts;
};

Components ClassesParts(const Components& parts) {
    Components out{"Software", "Classes"};
    out.insert(out.end(), parts.begin(), parts.end());
    return out;
}

// The real keys behind (hive, path), in the order reads consult them.
std::vector<View> Views(Hive hive, const std::string& keyPath) {
    const Components parts = Split(keyPath);
    if (hive != Hive::ClassesRoot) return {{hive, parts}};
    const Components classes = ClassesParts(parts);
    return {{Hive::CurrentUser, classes}, {Hive::LocalMachine, classes}};
}

std::string ErrnoText() { return std::strerror(errno); }

// The registry lock held, the hives read on first use and kept in memory, the changed ones
// written on Commit. Owned by one thread.
class HiveSet {
public:
    HiveSet() {
        const std::string folder = RegistryDirectory();
        if (!MakeDirectories(folder)) {
            Refuse("cannot make " + folder + ": " + ErrnoText());
            return;
        }
        lock_ = std::make_unique<ExclusiveFileLock>(folder + "/.lock", 0600);
        if (!lock_->locked()) Refuse("cannot lock " + folder + "/.lock: " + ErrnoText());
    }

    HiveMap& Get(Hive hive) {
        Slot& slot = SlotOf(hive);
        if (!slot.loaded) {
            slot.readable = LoadHive(hive, slot.map);
            slot.loaded = true;
            // What the file would hold unchanged: a hive is written only when it differs.
            slot.before = Serialize(hive, slot.map);
        }
        return slot.map;
    }

    // Whether a change of `hive` can be kept; a refusal is remembered for Commit. A hive that
    // exists but cannot be read is never written: writing it back would lose it.
    bool Writable(Hive hive) {
        if (!lock_ || !lock_->locked()) return false;
        Get(hive);
        if (SlotOf(hive).readable) return true;
        Refuse(HivePath(hive) + " cannot be read");
        return false;
    }

    // The view that a write through (hive, path) goes to.
    View WriteTarget(Hive hive, const std::string& keyPath) {
        std::vector<View> views = Views(hive, keyPath);
        if (views.size() > 1 && !FindKey(Get(views[0].hive), views[0].parts)) return views[1];
        return views[0];
    }

    // Writes each hive whose text changed, once; false when a change was refused or a write
    // failed, with the first reason in `error`.
    bool Commit(std::string& error) {
        for (Hive hive : {Hive::CurrentUser, Hive::LocalMachine}) {
            Slot& slot = SlotOf(hive);
            if (!slot.loaded || !slot.readable || !lock_ || !lock_->locked()) continue;
            const std::string text = Serialize(hive, slot.map);
            if (text == slot.before) continue;
            if (WriteFileAtomically(HivePath(hive), text))
                slot.before = text;
            else
                Refuse("cannot write " + HivePath(hive) + ": " + ErrnoText());
        }
        error = error_;
        return error_.empty();
    }

private:
    struct Slot {
        bool loaded = false, readable = true;
        std::string before;
        HiveMap map;
    };
    Slot& SlotOf(Hive hive) { return hive == Hive::LocalMachine ? lm_ : cu_; }
    void Refuse(const std::string& reason) {
        if (error_.empty()) error_ = reason;
    }

    std::unique_ptr<ExclusiveFileLock> lock_;
    std::string error_;
    Slot cu_, lm_;
};

// The transaction this thread has open, if any: every call of the thread works on it.
thread_local HiveSet* t_open = nullptr;

// Runs `change` (HiveSet& -> bool) on the open transaction, or on one of its own that is
// committed at once.
template <typename Change>
bool Modify(Change&& change) {
    if (t_open) return change(*t_open);
    HiveSet set;
    std::string ignored;
    return change(set) && set.Commit(ignored);
}

// Runs `read` (const HiveMap& -> T) on the hive as this thread sees it: the open transaction's
// copy, or the file as it is now (readers take no lock: the rename gives them a whole file).
template <typename Read>
auto Look(Hive hive, Read&& read) {
    if (t_open) return read(t_open->Get(hive));
    return read(LoadHive(hive));
}

}  // namespace

struct RegistryTransaction::Open {
    HiveSet hives;
};

RegistryTransaction::RegistryTransaction() {
    if (t_open) return;  // joins the transaction already open
    open_ = std::make_unique<Open>();
    t_open = &open_->hives;
}

RegistryTransaction::~RegistryTransaction() { Commit(); }

bool RegistryTransaction::Commit() {
    if (!open_) return error_.empty();
    const bool ok = open_->hives.Commit(error_);
    t_open = nullptr;
    open_.reset();
    return ok;
}

std::string RegistryDirectory() { return UserConfigDir() + "/orvane/registry"; }

bool ParseRegistryPath(const std::string& full, Hive& hive, std::string& keyPath) {
    static const struct {
        const char* name;
        Hive hive;
    } kRoots[] = {{"HKEY_CURRENT_USER", Hive::CurrentUser},   {"HKCU", Hive::CurrentUser},
                  {"HKEY_LOCAL_MACHINE", Hive::LocalMachine}, {"HKLM", Hive::LocalMachine},
                  {"HKEY_CLASSES_ROOT", Hive::ClassesRoot},   {"HKCR", Hive::ClassesRoot}};
    const size_t slash = full.find('\\');
    const std::string head = full.substr(0, slash);
    for (const auto& root : kRoots) {
        if (!EqualNoCase(head, root.name)) continue;
        hive = root.hive;
        keyPath = slash == std::string::npos ? std::string() : Join(Split(full.substr(slash + 1)));
        return true;
    }
    return false;
}

bool RegistryKeyExists(Hive hive, const std::string& keyPath) {
    for (const View& view : Views(hive, keyPath))
        if (Look(view.hive,
                 [&](const HiveMap& map) { return FindKey(map, view.parts) != nullptr; }))
            return true;
    return false;
}

bool RegistryCreateKey(Hive hive, const std::string& keyPath) {
    return Modify([&](HiveSet& t) {
        const View target = t.WriteTarget(hive, keyPath);
        if (!t.Writable(target.hive)) return false;
        bool changed = false;
        EnsureKey(t.Get(target.hive), target.parts, changed);
        return true;
    });
}

std::optional<RegistryValue> RegistryGetValue(Hive hive, const std::string& keyPath,
                                              const std::string& name) {
    for (const View& view : Views(hive, keyPath)) {
        std::optional<RegistryValue> found = Look(view.hive, [&](const HiveMap& map) {
            std::optional<RegistryValue> value;
            if (const Key* key = FindKey(map, view.parts)) {
                for (const auto& [n, v] : key->values)
                    if (EqualNoCase(n, name)) return std::optional<RegistryValue>(v);
            }
            return value;
        });
        if (found) return found;
    }
    return std::nullopt;
}

// A string value is answered as it is; an integer as its decimal text.
std::string RegistryGetString(Hive hive, const std::string& keyPath, const std::string& name,
                              const std::string& defaultValue) {
    const std::optional<RegistryValue> value = RegistryGetValue(hive, keyPath, name);
    if (!value) return defaultValue;
    if (const auto* text = std::get_if<std::string>(&*value)) return *text;
    return std::to_string(std::get<std::int64_t>(*value));
}

// An integer value is answered as it is; a string when it is exactly a decimal number
// (optional sign, blanks around it allowed), else the default.
std::int64_t RegistryGetInt(Hive hive, const std::string& keyPath, const std::string& name,
                            std::int64_t defaultValue) {
    const std::optional<RegistryValue> value = RegistryGetValue(hive, keyPath, name);
    if (!value) return defaultValue;
    if (const auto* n = std::get_if<std::int64_t>(&*value)) return *n;
    std::string text = std::get<std::string>(*value);
    const size_t b = text.find_first_not_of(" \t");
    const size_t e = text.find_last_not_of(" \t");
    text = b == std::string::npos ? std::string() : text.substr(b, e - b + 1);
    std::int64_t parsed = 0;
    return ParseInt64(text, parsed) ? parsed : defaultValue;
}

bool RegistrySetValue(Hive hive, const std::string& keyPath, const std::string& name,
                      const RegistryValue& value) {
    return Modify([&](HiveSet& t) {
        const View target = t.WriteTarget(hive, keyPath);
        if (!t.Writable(target.hive)) return false;
        bool created = false;
        Key& key = EnsureKey(t.Get(target.hive), target.parts, created);
        auto it = FindValue(key.values, name);
        if (it == key.values.end())
            key.values.emplace_back(name, value);
        else
            it->second = value;
        return true;
    });
}

bool RegistryDeleteValue(Hive hive, const std::string& keyPath, const std::string& name) {
    return Modify([&](HiveSet& t) {
        const std::vector<View> views = Views(hive, keyPath);
        for (const View& view : views)
            if (!t.Writable(view.hive)) return false;
        for (const View& view : views) {
            Key* key = FindKey(t.Get(view.hive), view.parts);
            if (!key) continue;
            auto it = FindValue(key->values, name);
            if (it != key->values.end()) key->values.erase(it);
        }
        return true;
    });
}

bool RegistryDeleteKey(Hive hive, const std::string& keyPath) {
    // A hive's root stays, and so does the Classes key at the root of the classes view.
    if (Split(keyPath).empty()) return false;
    return Modify([&](HiveSet& t) {
        const std::vector<View> views = Views(hive, keyPath);
        bool found = false;
        for (const View& view : views) {
            if (!t.Writable(view.hive)) return false;
            const HiveMap& map = t.Get(view.hive);
            if (!FindKey(map, view.parts)) continue;
            if (HasSubKeys(map, view.parts)) return false;
            found = true;
        }
        if (!found) return false;
        for (const View& view : views) t.Get(view.hive).erase(Folded(Join(view.parts)));
        return true;
    });
}

std::vector<std::string> RegistrySubKeys(Hive hive, const std::string& keyPath) {
    // Merged by folded name, so the union of both classes hives is sorted and has each once.
    std::map<std::string, std::string> merged;
    for (const View& view : Views(hive, keyPath)) {
        const std::vector<std::string> names =
            Look(view.hive, [&](const HiveMap& map) { return SubKeyNames(map, view.parts); });
        for (const std::string& name : names) merged.emplace(Folded(name), name);
    }
    std::vector<std::string> names;
    for (const auto& entry : merged) names.push_back(entry.second);
    return names;
}

std::vector<std::string> RegistryValueNames(Hive hive, const std::string& keyPath) {
    std::vector<std::string> names;
    for (const View& view : Views(hive, keyPath)) {
        const std::vector<std::string> here = Look(view.hive, [&](const HiveMap& map) {
            std::vector<std::string> out;
            if (const Key* key = FindKey(map, view.parts))
                for (const auto& value : key->values) out.push_back(value.first);
            return out;
        });
        for (const std::string& name : here) {
            bool seen = false;
            for (const std::string& n : names) seen = seen || EqualNoCase(n, name);
            if (!seen) names.push_back(name);
        }
    }
    return names;
}

}  // namespace platform
