// KvUpdater: keeps the system up to date (see update_session.h). Reports by exit code:
// update_exit_codes.h.
#include <kvupdater/update_exit_codes.h>
#include <platform/paths.h>
#include <platform/user_files.h>
#include <tarnwick/tarnwick.h>

#include <csignal>

#include "command_line.h"
#include "console.h"
#include "update_session.h"

int main(int argc, char** argv) {
    // The console may be a pipe whose reader has gone (the caller of check mode does not read
    // what the second copy prints); that must not end the run.
    std::signal(SIGPIPE, SIG_IGN);

    kvupdater::ConsolePrint("初始化下载模块\n");
    Tarnwick_SetVerInfo("KvUpdater", "1.0");
    Tarnwick_Startup();

    const auto arguments =
        kvupdater::ParseUpdaterArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (arguments.conf.empty()) {
        kvupdater::ConsolePrint("--conf empty\n");
        return kvupdater::kExitFailure;
    }
    if (arguments.url.empty()) {
        kvupdater::ConsolePrint("--url empty\n");
        return kvupdater::kExitFailure;
    }

    // The updater lies in the install folder, beside the player that starts it.
    CUpdateSession session(
        arguments.conf, arguments.url,
        platform::ShippedFilePath(platform::ExecutableDirectory(), "..\\cfg\\update.ini"));
    if (arguments.check) {
        kvupdater::ConsolePrint("开始检查是否需要强制升级\n");
        return session.CheckForced();
    }
    kvupdater::ConsolePrint("开始升级检测\n");
    return session.Run();
}
