// The task record that ZP2PGetTaskInfo fills, and its 448-byte form between processes.
//
// In process the record is a native struct. Between processes (the BT server's pipe reply)
// it travels in its original little-endian layout: cbSize, a reserved word, the engine's
// 432-byte downloader information, a 32-bit slot that is non-zero when a piece map follows,
// and a reserved word. Header-only, so that the player's pipe code can use it as is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" {

typedef struct ZP2PTaskInfo {
    std::uint32_t cbSize;  // the caller sets sizeof(ZP2PTaskInfo)
    std::uint32_t reserved1;
    unsigned char info[432];  // the engine's downloader information (kvbt_downloader_info.h)
    char* pieceMap;  // one '0' or '1' per piece, NUL-terminated; freed by ZP2PFreeTaskInfoData
    std::uint32_t reserved2;
} ZP2PTaskInfo;
}

namespace task_info_wire {

constexpr std::size_t kWireSize = 448;
constexpr std::size_t kInfoOffset = 8;
constexpr std::size_t kInfoSize = 432;
constexpr std::size_t kPieceMapSlot = 440;
constexpr std::size_t kReserved2Offset = 444;

inline void PutU32(unsigned char* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(v >> (8 * i));
}

inline std::uint32_t GetU32(const unsigned char* at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(at[i]) << (8 * i);
    return v;
}

// The 448 bytes of a record; the slot at 440 is 1 when the record holds a piece map.
inline std::string ToWire(const ZP2PTaskInfo& record) {
    unsigned char bytes[kWireSize] = {};
    PutU32(bytes, kWireSize);
    PutU32(bytes + 4, record.reserved1);
    std::memcpy(bytes + kInfoOffset, record.info, kInfoSize);
    PutU32(bytes + kPieceMapSlot, record.pieceMap != nullptr ? 1u : 0u);
    PutU32(bytes + kReserved2Offset, record.reserved2);
    return std::string(reinterpret_cast<const char*>(bytes), kWireSize);
}

// Reads 448 bytes into a native record (cbSize = the native size, no piece map attached).
// False, with the record untouched, when the size or the cbSize field is wrong.
// `hasPieceMap` (optional) tells whether the sender said a piece map follows.
inline bool FromWire(const void* data, std::size_t size, ZP2PTaskInfo& record,
                     bool* hasPieceMap = nullptr) {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    if (data == nullptr || size != kWireSize || GetU32(bytes) != kWireSize) return false;
    record.cbSize = sizeof(ZP2PTaskInfo);
    record.reserved1 = GetU32(bytes + 4);
    std::memcpy(record.info, bytes + kInfoOffset, kInfoSize);
    record.pieceMap = nullptr;
    record.reserved2 = GetU32(bytes + kReserved2Offset);
    if (hasPieceMap != nullptr) *hasPieceMap = GetU32(bytes + kPieceMapSlot) != 0;
    return true;
}

}  // namespace task_info_wire
