#include "updater_harness.h"

#include <errno.h>
#include <fcntl.h>
#include <platform/ini_file.h>
#include <platform/paths.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <testsupport/loopback.h>
#include <unistd.h>

#include <filesystem>

#include "single_instance_lock.h"

namespace kvupdater_test {

UpdaterHarness::UpdaterHarness() : statePath_(dir_.file("cfg/update.ini")) {
    platform::MakeDirectories(dir_.file("tmp"));
    platform::MakeDirectories(dir_.file("run"));
    platform::MakeDirectories(dir_.file("cfg"));
    const std::string opener = dir_.file("bin/xdg-open");
    testsupport::WriteFile(
        opener, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + dir_.file("opened.txt") + "'\n");
    ::chmod(opener.c_str(), 0700);
}

std::vector<std::string> UpdaterHarness::ArgumentsFor(const std::string& url, bool check) const {
    std::vector<std::string> arguments{"--conf", statePath_, "--url", url};
    if (check) arguments.push_back("--check");
    return arguments;
}

std::unique_ptr<QProcess> UpdaterHarness::Start(const std::vector<std::string>& arguments,
                                                const std::string& outputPath) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.insert(QStringLiteral("TMPDIR"), QString::fromStdString(TempFolder()));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(dir_.file("run")));
    environment.insert(
        QStringLiteral("PATH"),
        QString::fromStdString(dir_.file("bin")) + ":" +
            environment.value(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin")));
    process->setProcessEnvironment(environment);
    process->setStandardOutputFile(QString::fromStdString(outputPath), QIODevice::Append);
    process->setStandardErrorFile(QString::fromStdString(outputPath + ".err"), QIODevice::Append);
    process->setProgram(QString::fromStdString(program_));
    QStringList list;
    for (const auto& argument : arguments) list << QString::fromStdString(argument);
    process->setArguments(list);
    process->start();
    process->waitForStarted(60000);
    return process;
}

std::string UpdaterHarness::Install() {
    platform::MakeDirectories(dir_.file("install/bin"));
    platform::MakeDirectories(dir_.file("install/cfg"));
    program_ = dir_.file("install/bin/KvUpdater");
    std::filesystem::copy_file(KVUPDATER_PROGRAM, program_,
                               std::filesystem::copy_options::overwrite_existing);
    return dir_.file("install/cfg/update.ini");
}

UpdaterRun UpdaterHarness::Run(const std::vector<std::string>& arguments,
                               std::chrono::seconds limit) {
    const std::string outputPath = dir_.file("run-" + std::to_string(++runs_) + ".out");
    auto process = Start(arguments, outputPath);
    UpdaterRun run;
    run.finished = process->waitForFinished(static_cast<int>(limit.count() * 1000));
    if (!run.finished) {
        process->kill();
        process->waitForFinished(5000);
    } else if (process->exitStatus() == QProcess::NormalExit) {
        run.exitCode = process->exitCode();
    }
    run.output = testsupport::ReadFile(outputPath);
    run.outputPath = outputPath;
    return run;
}

bool WaitForText(const std::string& path, const std::string& text, std::chrono::seconds limit) {
    return testsupport::WaitUntil(
        [&] { return testsupport::ReadFile(path).find(text) != std::string::npos; }, limit,
        std::chrono::milliseconds(50));
}

bool UpdaterHarness::WaitForNoRun(std::chrono::seconds limit) const {
    // The lock lives in our private folder under the runtime folder the updater was given.
    const std::string lockPath =
        platform::PathAppend(dir_.file("run/orvane"), kvupdater::SingleInstanceLock::kName);
    return testsupport::WaitUntil(
        [&] {
            const int fd = ::open(lockPath.c_str(), O_RDWR | O_CLOEXEC);
            if (fd < 0) return errno == ENOENT;  // no run has taken it yet
            const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
            ::close(fd);
            return free;
        },
        limit, std::chrono::milliseconds(50));
}

std::string StateValue(const std::string& statePath, const std::string& section,
                       const std::string& key) {
    return platform::IniReadString(statePath, section, key);
}

}  // namespace kvupdater_test
