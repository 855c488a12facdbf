// The downloaded installer, held open from its digest check to its start: what runs is the
// file whose digest matched, even when its name is replaced while the user is being asked.
#pragma once

#include <string>
#include <vector>

namespace kvupdater {

class VerifiedInstaller {
public:
    VerifiedInstaller() = default;
    ~VerifiedInstaller();
    VerifiedInstaller(const VerifiedInstaller&) = delete;
    VerifiedInstaller& operator=(const VerifiedInstaller&) = delete;

    // Opens `path` and keeps it when it is a plain file of ours (no link, no second name)
    // whose MD5 digest is `hash` (letter case ignored). False, with nothing kept, otherwise.
    bool Open(const std::string& path, const std::string& hash);
    bool IsOpen() const { return fd_ >= 0; }
    // Lets the owner run it (through the open file: the name may mean another file by now).
    bool MakeExecutable() const;
    // Starts the kept file with `arguments`, `path` as its program name. True when it started.
    bool Start(const std::string& path, const std::vector<std::string>& arguments) const;
    void Close();

private:
    int fd_ = -1;
};

}  // namespace kvupdater
