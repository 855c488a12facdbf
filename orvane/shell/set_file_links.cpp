#include "set_file_links.h"

#include "app_paths.h"
#include "platform/process.h"

bool ElevateSetFileLinks() {
    // There is no elevation to ask for here: the program runs as the user.
    return platform::StartProcess(HostExePath().toStdString(), {"-setfilelinks"}, false) != nullptr;
}
