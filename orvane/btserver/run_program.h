// Starting another program of the install folder.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Starts `path` with `arguments`, each passed as one argument whatever it holds (blanks,
// quotes, text that looks like another switch), with the caller's environment and current
// folder. True when the process was created. The child is reaped when it ends, and its
// exit code written to the debug output as "<name> <pid> ended with exit code <code>";
// `ended`, when given, is called then, on the reaper's thread (never inside this call).
bool RunProgram(const QString& path, const QStringList& arguments,
                std::function<void()> ended = nullptr);
