#include "console.h"

#include <cstdarg>
#include <cstdio>

namespace kvupdater {

void ConsolePrint(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stdout, format, arguments);
    va_end(arguments);
    std::fflush(stdout);
}

}  // namespace kvupdater
