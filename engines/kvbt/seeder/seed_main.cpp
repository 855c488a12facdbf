// kvbt_seed: makes a torrent from a file or folder (or from generated data) and seeds it on
// 127.0.0.1 until stdin closes, printing "port <n>" and "torrent <path>".
//
// With --utp it accepts uTP besides TCP, as most public peers do.
//
//   kvbt_seed [--piece-size N] [--upload-limit BYTES_PER_S] [--generate SIZE] [--utp]
//             CONTENT TORRENT
#include <cstdlib>
#include <iostream>
#include <string>

#include "loopback_seeder.h"
#include "testsupport/media.h"

int main(int argc, char** argv) {
    int pieceSize = 262144;
    int uploadLimit = 0;
    long long generate = 0;
    auto transport = kvbt_testing::SeederTransport::TcpOnly;
    std::string content;
    std::string torrent;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--piece-size" && i + 1 < argc) {
            pieceSize = std::atoi(argv[++i]);
        } else if (arg == "--upload-limit" && i + 1 < argc) {
            uploadLimit = std::atoi(argv[++i]);
        } else if (arg == "--generate" && i + 1 < argc) {
            generate = std::atoll(argv[++i]);
        } else if (arg == "--utp") {
            transport = kvbt_testing::SeederTransport::TcpAndUtp;
        } else if (content.empty()) {
            content = arg;
        } else {
            torrent = arg;
        }
    }
    if (content.empty() || torrent.empty() || pieceSize < 16384) {
        std::cerr << "usage: kvbt_seed [--piece-size N] [--upload-limit B/s] [--generate SIZE] "
                     "[--utp] CONTENT TORRENT\n";
        return 2;
    }
    if (generate > 0 && !testsupport::MakeRandomFile(content, generate)) {
        std::cerr << "cannot write " << content << "\n";
        return 1;
    }
    if (!kvbt_testing::MakeTorrent(content, pieceSize, torrent)) {
        std::cerr << "cannot make a torrent of " << content << "\n";
        return 1;
    }
    kvbt_testing::LoopbackSeeder seeder(uploadLimit, 0, transport);
    const std::string folder = content.substr(0, content.find_last_of('/') + 1);
    if (!seeder.Seed(torrent, folder.empty() ? "." : folder)) {
        std::cerr << "cannot seed " << torrent << "\n";
        return 1;
    }
    std::cout << "port " << seeder.Port() << "\ntorrent " << torrent << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
}
