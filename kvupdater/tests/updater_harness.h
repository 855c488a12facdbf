// Runs the KvUpdater program the way its caller does, in a private world: its own temporary
// folder, runtime folder (single-instance lock) and no display, with a stand-in for the
// desktop's URL opener that only records what it was asked to open.
#pragma once

#include <testsupport/temp_dir.h>

#include <QProcess>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace kvupdater_test {

struct UpdaterRun {
    bool finished = false;
    int exitCode = -1;
    std::string output;      // what this run printed (stdout) by its end
    std::string outputPath;  // where it printed (a copy it started goes on printing there)
};

// Waits until the file holds `text` (bounded); answers whether it came.
bool WaitForText(const std::string& path, const std::string& text,
                 std::chrono::seconds limit = std::chrono::seconds(60));

class UpdaterHarness {
public:
    UpdaterHarness();

    const std::string& StatePath() const { return statePath_; }
    // The updater's temporary folder (where installers and descriptions go).
    std::string TempFolder() const { return dir_.file("tmp"); }
    std::string File(const std::string& name) const { return dir_.file(name); }
    // One URL per line, as the updater asked the desktop to open them.
    std::string OpenedUrls() const { return testsupport::ReadFile(dir_.file("opened.txt")); }

    // Runs the program to its end (bounded by `limit`).
    UpdaterRun Run(const std::vector<std::string>& arguments,
                   std::chrono::seconds limit = std::chrono::seconds(60));
    // Starts the program; its output goes to `outputPath` (appended, also by any copy it starts).
    std::unique_ptr<QProcess> Start(const std::vector<std::string>& arguments,
                                    const std::string& outputPath);
    // Waits until no updater holds the single-instance lock (a relaunched copy has ended).
    bool WaitForNoRun(std::chrono::seconds limit = std::chrono::seconds(60)) const;

    std::vector<std::string> ArgumentsFor(const std::string& url, bool check = false) const;

    // From now on runs a copy of the program installed in a folder of its own
    // (<temporary>/install/bin); answers where that install's shipped state file lies.
    std::string Install();

private:
    testsupport::TempDir dir_;
    std::string statePath_;
    std::string program_ = KVUPDATER_PROGRAM;
    int runs_ = 0;
};

// Text of the updater's state file, by section and key.
std::string StateValue(const std::string& statePath, const std::string& section,
                       const std::string& key);

}  // namespace kvupdater_test
