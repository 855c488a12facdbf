// Paths, files and folders of the streaming service. Folder texts end in '/'.
#pragma once

#include <cstdint>
#include <string>

// Windows-style result codes that the service's callers compare with: 0 is success.
constexpr std::int32_t kResultOk = 0;
constexpr std::int32_t kResultInvalidArg = static_cast<std::int32_t>(0x80070057);
// An errno value in the 0x8007xxxx family.
std::int32_t ResultFromErrno(int err);

// Folder of the module that holds this code (the service's library), with a trailing '/'.
// Worked out once and kept.
const std::string& GetAppDirectory();
// Replaces the folder that GetAppDirectory answers (an empty text restores the real one).
void SetAppDirectoryForTesting(const std::string& folder);

// Last component of a path (with its extension), and everything before it (with the
// trailing separator). Both '/' and '\' separate.
std::string GetFileNamePart(const std::string& path);
std::string GetDirectoryPart(const std::string& path);

bool FileExists(const std::string& path);
// 0 when the file cannot be stated.
std::uint64_t GetFileSize64(const std::string& path);
// Deletes a file; when that fails, makes it writable and tries again.
bool ForceDeleteFile(const std::string& path);

// Creates a folder and every missing parent. True when it exists afterwards.
bool CreateDirectories(const std::string& path);
// The same with a result code: 0, kResultInvalidArg for an empty path or one that begins
// with '\', or the first failure.
std::int32_t CreateDirectoryPath(const std::string& path);
