// Progress lines of the updater on its console (standard output, flushed at once so that a
// caller reading a pipe or a file sees each line as it happens).
#pragma once

namespace kvupdater {

void ConsolePrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kvupdater
