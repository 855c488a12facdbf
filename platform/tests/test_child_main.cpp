// A child program for the platform tests:
//   exit <code>                    ends with that exit code
//   sleep <ms>                     sleeps, then ends with 0
//   hold-segment <key> [file]      creates the named segment, prints "ready" (and writes it to
//                                  file when given), then waits to be killed
//   argv                           prints each argument on its own line, then ends with 0
//   write-args <file> <args...>    writes each argument followed by a NUL byte to file
//   pipe-server <name> <file>      serves the pipe (answers "child:" + request), writes
//                                  "ready" to file once it listens; ends on "quit"
//   pipe-call <name> <text>        makes one pipe call: 0 = answered, 1 = call failed
//   module-dir <folder>            moves to folder: 0 when ModuleDirectory of this program still
//                                  answers the executable's folder, else 1
//   pipe-call-as <socket> <text> <uid>
//                                  switches to uid, then sends one message straight to the
//                                  socket: 0 = answered, 1 = refused, 4 = cannot switch user,
//                                  5 = the socket is out of this user's reach
#include <grp.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSharedMemory>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "platform/named_pipe.h"
#include "platform/paths.h"
#include "platform/shared_memory.h"

namespace {

void WriteReady(const char* path) {
    // Written under another name first, so that a reader never sees half of it.
    const std::string partial = std::string(path) + ".part";
    std::ofstream(partial) << "ready\n";
    std::rename(partial.c_str(), path);
}

int ServePipe(const char* name, const char* readyFile) {
    auto server = platform::PipeServer::Create(name);
    if (!server) return 3;
    WriteReady(readyFile);
    std::string request;
    while (server->WaitForClient()) {
        if (!server->ReadMessage(request)) continue;
        server->WriteMessage("child:" + request);
        if (request == "quit") break;
    }
    return 0;
}

// As another user the pipe layer would look in that user's own runtime folder, so the
// intruder speaks to our socket directly: connect, send, and see whether an answer comes.
int CallAsOtherUser(const std::string& socketPath, const char* text, uid_t id) {
    if (setgroups(0, nullptr) != 0 || setgid(id) != 0 || setuid(id) != 0) return 4;
    const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, socketPath.c_str(), sizeof addr.sun_path - 1);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        return 5;
    }
    timeval limit{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    const std::string message = std::string(text) + '\0';
    char reply[256];
    const bool answered = send(fd, message.data(), message.size(), MSG_NOSIGNAL) >= 0 &&
                          recv(fd, reply, sizeof reply, 0) > 0;
    close(fd);
    return answered ? 0 : 1;
}

int CallPipe(const char* name, const char* text) {
    return platform::PipeCall(name, text, nullptr, 30000) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "exit") == 0) return std::atoi(argv[2]);
    if (argc >= 3 && std::strcmp(argv[1], "sleep") == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "hold-segment") == 0) {
        platform::UserSegment memory(QString::fromUtf8(argv[2]));
        if (!platform::ProbeAndCreateSegment(memory, 1)) return 3;
        std::printf("ready\n");
        std::fflush(stdout);
        if (argc >= 4) WriteReady(argv[3]);
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    if (argc >= 2 && std::strcmp(argv[1], "argv") == 0) {
        for (int i = 2; i < argc; ++i) std::printf("%s\n", argv[i]);
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "write-args") == 0) {
        std::ofstream out(argv[2], std::ios::binary);
        for (int i = 3; i < argc; ++i) out << argv[i] << '\0';
        return out ? 0 : 3;
    }
    if (argc >= 3 && std::strcmp(argv[1], "module-dir") == 0) {
        if (chdir(argv[2]) != 0) return 3;
        const void* inThisProgram = reinterpret_cast<const void*>(&WriteReady);
        return platform::ModuleDirectory(inThisProgram) == platform::ExecutableDirectory() ? 0 : 1;
    }
    if (argc >= 4 && std::strcmp(argv[1], "pipe-server") == 0) return ServePipe(argv[2], argv[3]);
    if (argc >= 4 && std::strcmp(argv[1], "pipe-call") == 0) return CallPipe(argv[2], argv[3]);
    if (argc >= 5 && std::strcmp(argv[1], "pipe-call-as") == 0)
        return CallAsOtherUser(argv[2], argv[3],
                               static_cast<uid_t>(std::strtoul(argv[4], nullptr, 10)));
    std::fprintf(stderr, "unknown mode\n");
    return 2;
}
