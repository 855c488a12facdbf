// One line per request received ("METHOD TARGET"), appended to a file for tests to read.
#pragma once

#include <string>

namespace webservice {

class RequestLog {
public:
    // An empty path logs nothing. Answers false (with errno set) when the file cannot be
    // opened.
    bool Open(const std::string& path);
    ~RequestLog();

    void Record(const std::string& method, const std::string& target);

private:
    int fd_ = -1;
};

}  // namespace webservice
