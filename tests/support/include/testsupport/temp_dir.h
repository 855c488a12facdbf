// A temporary folder that is removed with everything in it when the object goes.
#pragma once

#include <map>
#include <string>

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string file(const std::string& name) const;

private:
    std::string path_;
};

// Writes `content` to `path` (creating parent folders); throws on failure.
void WriteFile(const std::string& path, const std::string& content);
// Reads a whole file; empty when it cannot be read.
std::string ReadFile(const std::string& path);

// Every path below `folder` with its kind, size and modification time: two equal fingerprints
// mean nothing below the folder was written, made or removed in between.
std::map<std::string, std::string> FolderFingerprint(const std::string& folder);

// Sets an environment variable for the lifetime of the object and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const std::string& name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    bool had_ = false;
    std::string old_;
};

}  // namespace testsupport
