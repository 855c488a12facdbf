// Reads the stream items of a stream request's path.
#pragma once

#include <string>

#include "stream_task_options.h"

// `path` is the decoded request path: "/" and items "name:Base64" separated by ",". Items
// "bturl:", "httpurl:", "sources:", "private:" and "crypt:" fill `options`; others are
// ignored. True when at least one known item was found.
bool ParseStreamPath(const std::string& path, StreamTaskOptions& options);
