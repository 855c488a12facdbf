// kvbt_seed: makes a torrent from a file or folder (or from generated data) and seeds it on
// 127.0.0.1 until stdin closes, printing "port <n>", "torrent <path>" and "magnet <link>".
//
// With --utp it accepts uTP besides TCP, as most public peers do. With --tracker it also runs
// a loopback tracker that names this seeder, and the torrent and the magnet link name that
// tracker, so a player finds the seeder from the torrent or the link alone.
//
//   kvbt_seed [--piece-size N] [--upload-limit BYTES_PER_S] [--generate SIZE] [--utp]
//             [--tracker] CONTENT TORRENT
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "loopback_seeder.h"
#include "loopback_tracker.h"
#include "testsupport/media.h"

int main(int argc, char** argv) {
    int pieceSize = 262144;
    int uploadLimit = 0;
    long long generate = 0;
    bool withTracker = false;
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
        } else if (arg == "--tracker") {
            withTracker = true;
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
                     "[--utp] [--tracker] CONTENT TORRENT\n";
        return 2;
    }
    if (generate > 0 && !testsupport::MakeRandomFile(content, generate)) {
        std::cerr << "cannot write " << content << "\n";
        return 1;
    }
    kvbt_testing::LoopbackSeeder seeder(uploadLimit, 0, transport);
    std::unique_ptr<kvbt_testing::LoopbackTracker> tracker;
    if (withTracker) {
        tracker = std::make_unique<kvbt_testing::LoopbackTracker>(seeder.Port());
        if (!tracker->Listening()) {
            std::cerr << "cannot start the loopback tracker\n";
            return 1;
        }
    }
    if (!kvbt_testing::MakeTorrent(content, pieceSize, torrent, false,
                                   tracker ? tracker->AnnounceUrl() : std::string())) {
        std::cerr << "cannot make a torrent of " << content << "\n";
        return 1;
    }
    const std::string folder = content.substr(0, content.find_last_of('/') + 1);
    if (!seeder.Seed(torrent, folder.empty() ? "." : folder)) {
        std::cerr << "cannot seed " << torrent << "\n";
        return 1;
    }
    std::cout << "port " << seeder.Port() << "\ntorrent " << torrent << "\nmagnet "
              << kvbt_testing::MagnetOf(torrent) << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
}
