// The engine's 432-byte downloader information, little-endian. Inside the service's
// 448-byte task record the block starts at byte 8, so a reader of the record adds
// kRecordBlockOffset to these offsets. Bytes not named here are zero.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvbt_info {

constexpr std::size_t kSize = 432;
constexpr std::size_t kRecordBlockOffset = 8;

constexpr std::size_t kConnections = 16;           // int32: connected peers
constexpr std::size_t kTrackerIncomplete = 24;     // int32: downloaders the tracker knows, -1
constexpr std::size_t kTrackerComplete = 28;       // int32: seeds the tracker knows, -1
constexpr std::size_t kConnectedSeeds = 32;        // int32
constexpr std::size_t kConnectedDownloaders = 36;  // int32
constexpr std::size_t kDownloadRate = 48;          // int32: bytes per second
constexpr std::size_t kTotalSize = 72;             // int64: bytes of the torrent
constexpr std::size_t kBytesHeld = 88;             // int64: bytes of held pieces
constexpr std::size_t kBytesDownloaded = 96;       // int64: bytes received since the task began
constexpr std::size_t kPiecesHeld = 136;           // int32
constexpr std::size_t kTotalSizeAgain = 144;       // int64: the torrent's size once more
constexpr std::size_t kPieceCount = 168;           // int32
constexpr std::size_t kPieceLength = 172;          // int32

// Little-endian fields of a block (or of a task record, with kRecordBlockOffset added).
inline std::int32_t ReadInt32(const unsigned char* block, std::size_t offset) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | block[offset + static_cast<std::size_t>(i)];
    return static_cast<std::int32_t>(v);
}

inline std::int64_t ReadInt64(const unsigned char* block, std::size_t offset) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | block[offset + static_cast<std::size_t>(i)];
    return static_cast<std::int64_t>(v);
}

}  // namespace kvbt_info
