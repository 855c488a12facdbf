// The web-service stand-in started as a process of its own for the length of a test, on a
// port it chooses itself, the way every test starts it.
//
//   webservice_testing::WebServiceProcess service({"--set", "url=${base}media/a.torrent"});
//   ASSERT_TRUE(service.Started());
//   ... [param] baseurl = service.BaseUrl() ...
//   EXPECT_TRUE(service.WaitForRequest("GET /Orvane/adtext.js"));
//
// The process ends with the object (and with the test process, should that end first). It
// must be created on a thread that outlives it: the program follows the thread that started it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {
class TempDir;
}

namespace webservice_testing {

class WebServiceProcess {
public:
    // Starts the program with "--port 0 --exit-with-parent --log <file>" and `arguments`,
    // and waits (bounded) for the port it prints.
    explicit WebServiceProcess(const std::vector<std::string>& arguments = {});
    ~WebServiceProcess();
    WebServiceProcess(const WebServiceProcess&) = delete;
    WebServiceProcess& operator=(const WebServiceProcess&) = delete;

    bool Started() const { return port_ > 0; }
    int Port() const { return port_; }
    std::string Origin() const;                          // "http://127.0.0.1:<port>"
    std::string BaseUrl() const;                         // Origin() + "/Orvane/"
    std::string Url(const std::string& relative) const;  // BaseUrl() + relative

    // "METHOD TARGET" of every request received so far, in order.
    std::vector<std::string> Requests() const;
    int CountRequests(const std::string& part) const;
    bool WaitForRequest(const std::string& part,
                        std::chrono::milliseconds limit = std::chrono::seconds(10)) const;

    // Ends the program with SIGTERM (SIGKILL after 5 s); its exit code, if it exited.
    std::optional<int> Stop();

    static std::string ProgramPath();
    // The default site folder that the program falls back on.
    static std::string SitePath();

private:
    std::unique_ptr<testsupport::TempDir> dir_;
    std::string logPath_;
    pid_t pid_ = -1;
    int output_ = -1;
    int port_ = 0;
};

}  // namespace webservice_testing
