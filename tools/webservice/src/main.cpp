// webservice: the stand-in for the web services the player talks to, on 127.0.0.1.
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>
#include <cstdio>
#include <string>
#include <vector>

#include "options.h"
#include "platform/paths.h"
#include "server.h"

namespace {

// The default site is copied beside the program by the build.
constexpr char kSiteFolder[] = "webservice-site";

// True when this process should go on; with --exit-with-parent it ends with its parent.
bool FollowParent() {
    const pid_t parent = ::getppid();
    if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0) return true;
    return ::getppid() == parent;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    auto parsed = webservice::ParseOptions(arguments);
    if (parsed.help) {
        std::fputs(parsed.message.c_str(), stdout);
        return 0;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "webservice: %s (see --help)\n", parsed.message.c_str());
        return 2;
    }
    webservice::Options options = *parsed.options;
    options.siteRoot = platform::PathAppend(platform::ExecutableDirectory(), kSiteFolder);
    if (options.exitWithParent && !FollowParent()) return 0;
    ::signal(SIGPIPE, SIG_IGN);

    boost::asio::io_context io(1);
    webservice::Server server(io, options);
    const std::string error = server.Listen();
    if (!error.empty()) {
        std::fprintf(stderr, "webservice: %s\n", error.c_str());
        return 1;
    }
    // Whoever read the port may ask us to end at once: the handler is in place first.
    boost::asio::signal_set signals(io, SIGINT, SIGTERM);
    signals.async_wait([&io](const boost::system::error_code&, int) { io.stop(); });
    std::printf("%d\n", server.Port());
    std::fflush(stdout);
    server.Start();
    io.run();
    return 0;
}
