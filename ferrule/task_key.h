// The task key: the name of a stream task, its task record and its cache files.
#pragma once

#include <string>

// The 20-byte digest of `text`, each byte written as itself when it is an ASCII letter or
// digit and as two upper-case hexadecimal digits otherwise (20 to 40 characters); "0" for
// an empty text.
std::string MakeTaskKey(const std::string& text);
