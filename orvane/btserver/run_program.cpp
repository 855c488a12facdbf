#include "run_program.h"

#include <QDebug>
#include <QFileInfo>
#include <string>
#include <vector>

#include "platform/process.h"

bool RunProgram(const QString& path, const QStringList& arguments, std::function<void()> ended) {
    std::vector<std::string> argv;
    argv.reserve(static_cast<std::size_t>(arguments.size()));
    for (const QString& argument : arguments) argv.push_back(argument.toStdString());
    std::unique_ptr<platform::Process> child = platform::StartProcess(path.toStdString(), argv);
    if (!child) return false;
    // Nobody waits for the child; how it ended goes to the debug output, where a host
    // program that failed or hung up on its window can be seen.
    const QString name = QFileInfo(path).fileName();
    const qint64 pid = child->Pid();
    child->Release([name, pid, ended = std::move(ended)](int exitCode) {
        qDebug().noquote() << name << pid << "ended with exit code" << exitCode;
        if (ended) ended();
    });
    return true;
}
