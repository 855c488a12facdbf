// Counts the files that are renamed into a folder, as an atomic replacement does once per
// write: a probe of how often something was written, from outside the code that writes it.
#pragma once

#include <map>
#include <string>

namespace testsupport {

class RenamesInto {
public:
    // Watches `folder`, which must exist, from now on.
    explicit RenamesInto(const std::string& folder);
    ~RenamesInto();
    RenamesInto(const RenamesInto&) = delete;
    RenamesInto& operator=(const RenamesInto&) = delete;

    bool Watching() const { return watch_ >= 0; }
    // How many times each file name arrived since the start or the last Take, and starts
    // counting afresh.
    std::map<std::string, int> Take();

private:
    int fd_ = -1;
    int watch_ = -1;
};

}  // namespace testsupport
