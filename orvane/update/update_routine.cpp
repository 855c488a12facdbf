#include "update_routine.h"

#include <kvupdater/update_exit_codes.h>

#include "app_config.h"
#include "app_paths.h"

std::unique_ptr<platform::Process> RunProcess(const QString& program, const QString& arguments,
                                              bool show) {
    // Quoted by the command-line rules, so a folder holding a quote still names the program.
    const std::string commandLine =
        platform::QuoteArgument(program.toStdString()) + ' ' + arguments.toStdString();
    return platform::StartCommandLine(commandLine, show);
}

bool RunUpdater() {
    // Quoted by the command-line rules, so a folder holding a quote or ending in a backslash
    // still arrives as one argument.
    const auto quoted = [](const QString& text) {
        return QString::fromStdString(platform::QuoteArgument(text.toStdString()));
    };
    // The updater keeps its state in the user's copy of the state file, which starts as the
    // shipped one; the installed version it reads from the shipped one beside itself, where
    // the installer records it.
    const QString arguments = QStringLiteral("--conf %1 --url %2 --check")
                                  .arg(quoted(AppWritePath(QStringLiteral("..\\cfg\\update.ini"))),
                                       quoted(BaseUrl(QStringLiteral("update.ini"))));
    const auto updater = RunProcess(AppFilePath(QStringLiteral("KvUpdater.exe")), arguments, false);
    if (!updater) return true;
    updater->Wait();
    return updater->ExitCode() != kvupdater::kExitMandatoryUpdateReady;
}
