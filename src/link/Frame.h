// Frame protocol between the station and the nodes of one serial line, as pure functions over
// bytes: the checksum, request frames, reply frames and the decoders of reply bodies. Nothing here
// needs a port or a thread.
#pragma once

#include <cstddef>
#include <cstdint>

// The one checksum of the system (frame headers, payloads, packages, the file head).
uint8_t Crc8(const uint8_t* data, size_t count);

constexpr uint8_t kSyncPattern[6] = {0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90};
constexpr size_t kSyncSize = 6;

// Command codes.
constexpr uint8_t FRAME_QUERY = 0x11;
constexpr uint8_t FRAME_DATA = 0x12;
constexpr uint8_t FRAME_CHECK = 0x13;
constexpr uint8_t FRAME_DELETE = 0x14;

constexpr int kMaxNodes = 32;             // nodes on one line
constexpr size_t kMaskSize = 8;           // target mask bytes; 4..7 always 0
constexpr size_t kRequestHeaderSize = 12; // mask, length, code, header check
constexpr size_t kReplyHeaderSize = 3;    // length, length check
constexpr size_t kHeadSize = 23;          // package 0
constexpr size_t kPackageSize = 515;      // number, 512 data bytes, check
constexpr size_t kPackageDataSize = 512;
constexpr int kMaxPackages = 2880;             // package store slots, head included
constexpr int kMaxFilePackages = 2847;         // data packages of the largest sendable file
constexpr uint32_t kMaxSendBytes = 1457664;    // 2847 * 512
constexpr uint32_t kMaxPrepareBytes = 1474560; // 2880 * 512
constexpr size_t kNameFieldSize = 12;
constexpr int kMaxDeleteNames = 32; // names in one FRAME_DELETE
constexpr int kMaxEntries = 224;    // file table of a node
constexpr int kEntriesPerBlock = 32;
constexpr int kMaxListBlock = 7;
constexpr size_t kEntrySize = 17;   // 12-byte name, zero byte, 4-byte length
constexpr size_t kBitmapSize = 360; // need bitmap of a check reply, 2880 bits
constexpr size_t kStorageBodySize = 14;
constexpr size_t kFullCheckBodySize = 362;

// Check reply status bits.
constexpr uint8_t kCheckNeedHead = 0x80;
constexpr uint8_t kCheckNoRoom = 0x40;
constexpr uint8_t kCheckFileNumExceed = 0x20;
constexpr uint8_t kCheckNeedPackages = 0x10;

inline void MaskClear(uint8_t mask[kMaskSize]) {
    for (size_t i = 0; i < kMaskSize; ++i)
        mask[i] = 0;
}
inline void MaskSet(uint8_t mask[kMaskSize], int node) {
    mask[node / 8] = static_cast<uint8_t>(mask[node / 8] | (1u << (node % 8)));
}
inline void MaskReset(uint8_t mask[kMaskSize], int node) {
    mask[node / 8] = static_cast<uint8_t>(mask[node / 8] & ~(1u << (node % 8)));
}
inline bool MaskTest(const uint8_t mask[kMaskSize], int node) {
    return (mask[node / 8] >> (node % 8)) & 1u;
}
inline bool MaskEmpty(const uint8_t mask[kMaskSize]) {
    for (size_t i = 0; i < kMaskSize; ++i)
        if (mask[i])
            return false;
    return true;
}

inline void PutLe16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
    PutLe16(p, v);
    PutLe16(p + 2, v >> 16);
}
inline uint32_t GetLe16(const uint8_t* p) {
    return p[0] | (uint32_t(p[1]) << 8);
}
inline uint32_t GetLe32(const uint8_t* p) {
    return GetLe16(p) | (GetLe16(p + 2) << 16);
}

// --- Request frames. `dst` is where byte 6 of the frame goes (the part after the sync bytes);
// each returns the number of bytes written there, 12 + L.

// Mask, payload length, code and header check.
size_t WriteRequestHeader(uint8_t* dst, const uint8_t mask[kMaskSize], uint16_t payloadLength,
                          uint8_t code);
size_t BuildQueryRequest(uint8_t* dst, const uint8_t mask[kMaskSize], uint8_t block);
// `package` is a stored package (the 23-byte head or a 515-byte data package) copied as it is.
size_t BuildDataRequest(uint8_t* dst, const uint8_t mask[kMaskSize], const uint8_t* package,
                        size_t packageSize);
size_t BuildCheckRequest(uint8_t* dst, const uint8_t mask[kMaskSize], const uint8_t fileTag[4]);
// `names` holds `count` (1..32) 12-byte name fields back to back.
size_t BuildDeleteRequest(uint8_t* dst, const uint8_t mask[kMaskSize], const uint8_t* names,
                          int count);
size_t BuildClearRequest(uint8_t* dst, const uint8_t mask[kMaskSize]);

// A 12-byte FRAME_DELETE name field: the name's characters, then zero bytes. False (and nothing
// written) when the name is empty or longer than 12 bytes.
bool WriteDeleteName(uint8_t* field, const char* name, size_t length);

// --- Reply frames (node to station). Writes sync, length, length check, body and body check;
// `body` is the body without its trailing check byte. Returns the frame size, 9 + bodyLength + 1.
size_t BuildReplyFrame(uint8_t* dst, const uint8_t* body, size_t bodyLength);

// --- Reply bodies. `body` holds M bytes including the trailing check byte.
bool BodyCheckOk(const uint8_t* body, size_t m);

struct StorageInfo {
    uint32_t totalBytes = 0;
    uint16_t clusterBytes = 0;
    uint16_t maxFiles = 0;
    uint16_t fileCount = 0;
    uint16_t freeUnits = 0;
};
// False when the body is shorter than 14 bytes.
bool DecodeStorageInfo(const uint8_t* body, size_t m, StorageInfo& out);

struct ListBlock {
    uint8_t block = 0;
    uint8_t count = 0;              // entries announced by the node
    uint8_t available = 0;          // entries wholly inside the body (never more than `count`)
    const uint8_t* first = nullptr; // entry j: name at first + 16 j, length at first + 16 j + 12
};
bool DecodeListBlock(const uint8_t* body, size_t m, ListBlock& out);

// Body builders used by the node simulator and the tests; each returns the body size without
// the check byte.
size_t BuildStorageBody(uint8_t* body, const StorageInfo& info);
size_t BuildCheckBody(uint8_t* body, uint8_t status, const uint8_t* bitmap /* 360 or null */);
