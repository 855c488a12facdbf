// Small file helpers of the engine.
#pragma once

#include <string>

namespace kvbt {

// Writes `content` to `path` through a temporary file and a rename. True on success.
bool WriteFileReplacing(const std::string& path, const std::string& content);
// The whole file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& content);

}  // namespace kvbt
