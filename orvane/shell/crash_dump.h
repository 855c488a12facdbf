// Writing a record of a crash: on a fatal signal, the stack of the crashing thread goes to
// "dmp/<program>.dmp" beside the executable.
#pragma once

// The fatal-signal handler. Writes the dump, then lets the signal take its default course.
void WriteCrashDump(int signalNumber);

// Installs WriteCrashDump for SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT.
void InstallCrashDumpHandler();
