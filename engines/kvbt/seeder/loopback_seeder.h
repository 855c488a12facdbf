// A BitTorrent peer of its own on 127.0.0.1 for tests and benchmarks: makes v1 torrents from
// local files and seeds (or fetches) them with every discovery service off.
#pragma once

#include <memory>
#include <string>

namespace kvbt_testing {

// Makes a v1 torrent of `content` (a file or a folder) with pieces of `pieceSize` bytes and
// writes it to `torrentPath`. With `padFiles` the files of a folder are aligned to pieces
// by pad files; with a `tracker` URL, peers learn of each other there. True on success.
bool MakeTorrent(const std::string& content, int pieceSize, const std::string& torrentPath,
                 bool padFiles = false, const std::string& tracker = std::string());

// "magnet:?xt=urn:btih:<hex>" of a torrent file; empty when it cannot be read.
std::string MagnetOf(const std::string& torrentPath);

// Which transports the seeder accepts: TCP alone, or TCP and uTP (as most public peers do).
enum class SeederTransport { TcpOnly, TcpAndUtp };

class LoopbackSeeder {
public:
    // uploadLimit, downloadLimit: bytes per second for every peer, 0 for none.
    explicit LoopbackSeeder(int uploadLimit = 0, int downloadLimit = 0,
                            SeederTransport transport = SeederTransport::TcpOnly);
    ~LoopbackSeeder();
    LoopbackSeeder(const LoopbackSeeder&) = delete;
    LoopbackSeeder& operator=(const LoopbackSeeder&) = delete;

    // The TCP port it listens on (127.0.0.1).
    int Port() const;

    // Seeds a torrent whose data lies in `saveFolder`. True when it was added.
    bool Seed(const std::string& torrentPath, const std::string& saveFolder);
    // Downloads a torrent into `saveFolder` from the peer at 127.0.0.1:`peerPort` (none when
    // the port is 0: a peer connects to this one instead).
    bool Fetch(const std::string& torrentPath, const std::string& saveFolder, int peerPort);

    // Bytes of the torrent held, and whether it is all there.
    long long BytesDone() const;
    bool Complete() const;
    // Bytes of payload sent to peers so far.
    long long BytesUploaded() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace kvbt_testing
