#include "run_program.h"

#include <string>
#include <vector>

#include "platform/process.h"

bool RunProgram(const QString& path, const QStringList& arguments) {
    std::vector<std::string> argv;
    argv.reserve(static_cast<std::size_t>(arguments.size()));
    for (const QString& argument : arguments) argv.push_back(argument.toStdString());
    // Dropping the handle hands the child to the platform's reaper; nobody waits for it.
    return platform::StartProcess(path.toStdString(), argv) != nullptr;
}
