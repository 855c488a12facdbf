// Paths and well-known folders of the Linux layer.
#pragma once

#include <string>

namespace platform {

// Folder of the shared object (or executable) that contains `address`, found with dladdr();
// no trailing separator. Pass the address of any function or object of the module.
std::string ModuleDirectory(const void* address);

// Full path of the running executable (/proc/self/exe) and its folder (no trailing separator).
std::string ExecutablePath();
std::string ExecutableDirectory();

// Last component of a path (after the last '/' or '\').
std::string FileNamePart(const std::string& path);

// Appends `name` to `base`. Both '\' and '/' are separators; the result uses '/', with "."
// and ".." components resolved (".." never climbs above the root of an absolute path).
// An absolute `name` replaces `base`.
std::string PathAppend(const std::string& base, const std::string& name);

// Turns every '\' into '/'.
std::string ToNativeSeparators(std::string path);

// Maps the name by which the modules know one another's programs and libraries ("orvane.exe",
// "Ferrule.dll", ...; they travel in settings and command lines in that form) to the file name
// on disk here. Names not in the table are returned as given.
std::string LinuxFileName(const std::string& windowsName);

// XDG folders, without trailing separator: $XDG_DATA_HOME (~/.local/share), $XDG_CONFIG_HOME
// (~/.config), $XDG_CACHE_HOME (~/.cache), $XDG_STATE_HOME (~/.local/state). None of them is
// created. Which of the system's files go where: platform/user_files.h.
// UserRuntimeDir is our private runtime folder, $XDG_RUNTIME_DIR/orvane or /tmp/orvane-<uid>,
// created 0700 and owned by the user (empty when someone else owns that name).
std::string UserDataDir();
std::string UserConfigDir();
std::string UserCacheDir();
std::string UserStateDir();
std::string UserRuntimeDir();

// Creates a folder and every missing parent. True when the folder exists afterwards.
bool MakeDirectories(const std::string& path);

}  // namespace platform
