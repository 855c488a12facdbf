// Asking the host program to register the file-type associations in a process of its own.
#pragma once

// Runs the host executable with "-setfilelinks"; true when it started.
bool ElevateSetFileLinks();
