#include "link/Frame.h"

#include <bit>
#include <cstring>

namespace {

// CRC-8 table of x^8 + x^2 + x + 1, most significant bit first, and the same table applied k + 1
// times in row k: the register after eight bytes is then eight independent look-ups instead of a
// chain of eight dependent ones.
struct Crc8Tables {
    uint8_t t[8][256];
};
constexpr Crc8Tables MakeTables() {
    Crc8Tables s{};
    for (int i = 0; i < 256; ++i) {
        uint8_t c = static_cast<uint8_t>(i);
        for (int b = 0; b < 8; ++b)
            c = static_cast<uint8_t>((c & 0x80) ? (c << 1) ^ 0x07 : (c << 1));
        s.t[0][i] = c;
    }
    for (int k = 1; k < 8; ++k)
        for (int i = 0; i < 256; ++i)
            s.t[k][i] = s.t[0][s.t[k - 1][i]];
    return s;
}
constexpr Crc8Tables kCrc = MakeTables();

// The register c of the definition (c = ~T[c ^ b]) is d ^ 0x54 for the plain CRC register d
// (d = T[d ^ b]), which is linear, so whole words can be folded in at once.
constexpr uint8_t kCrcOffset = 0x54;

// Byte by byte, every read checked when the sanitizers are on.
uint8_t Crc8Bytes(uint8_t d, const uint8_t* data, size_t count) {
    for (size_t i = 0; i < count; ++i)
        d = kCrc.t[0][d ^ data[i]];
    return d;
}

} // namespace

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TALVORN_ASAN 1
#endif
#elif defined(__SANITIZE_ADDRESS__)
#define TALVORN_ASAN 1
#endif
#ifdef TALVORN_ASAN
#include <sanitizer/asan_interface.h>
#endif

// Every read of the tables is in range by construction (a byte indexes 256 entries), so the
// sanitizers do not check each one: that cost the fuzz targets a fifth of their time. The caller's
// bytes are checked as one range instead, and a bad one is reported by the checked loop.
__attribute__((no_sanitize("address", "undefined"))) uint8_t Crc8(const uint8_t* data,
                                                                  size_t count) {
#ifdef TALVORN_ASAN
    if (__asan_region_is_poisoned(const_cast<uint8_t*>(data), count))
        return static_cast<uint8_t>(Crc8Bytes(kCrcOffset, data, count) ^ kCrcOffset);
#endif
    const auto& T = kCrc.t;
    uint8_t d = kCrcOffset;
    size_t i = 0;
    for (; count - i >= 8; i += 8) {
        uint64_t w;
        std::memcpy(&w, data + i, 8);
        if constexpr (std::endian::native == std::endian::big)
            w = __builtin_bswap64(w);
        d = static_cast<uint8_t>(T[7][uint8_t(d ^ w)] ^ T[6][uint8_t(w >> 8)] ^
                                 T[5][uint8_t(w >> 16)] ^ T[4][uint8_t(w >> 24)] ^
                                 T[3][uint8_t(w >> 32)] ^ T[2][uint8_t(w >> 40)] ^
                                 T[1][uint8_t(w >> 48)] ^ T[0][uint8_t(w >> 56)]);
    }
    return static_cast<uint8_t>(Crc8Bytes(d, data + i, count - i) ^ kCrcOffset);
}

size_t WriteRequestHeader(uint8_t* dst, const uint8_t mask[kMaskSize], uint16_t payloadLength,
                          uint8_t code) {
    std::memcpy(dst, mask, kMaskSize);
    PutLe16(dst + 8, payloadLength);
    dst[10] = code;
    dst[11] = Crc8(dst, 11);
    return kRequestHeaderSize;
}

size_t BuildQueryRequest(uint8_t* dst, const uint8_t mask[kMaskSize], uint8_t block) {
    WriteRequestHeader(dst, mask, 2, FRAME_QUERY);
    dst[12] = block;
    dst[13] = Crc8(dst + 12, 1);
    return 14;
}

size_t BuildDataRequest(uint8_t* dst, const uint8_t mask[kMaskSize], const uint8_t* package,
                        size_t packageSize) {
    WriteRequestHeader(dst, mask, static_cast<uint16_t>(packageSize), FRAME_DATA);
    std::memcpy(dst + kRequestHeaderSize, package, packageSize);
    return kRequestHeaderSize + packageSize;
}

size_t BuildCheckRequest(uint8_t* dst, const uint8_t mask[kMaskSize], const uint8_t fileTag[4]) {
    WriteRequestHeader(dst, mask, 5, FRAME_CHECK);
    std::memcpy(dst + 12, fileTag, 4);
    dst[16] = Crc8(dst + 12, 4);
    return 17;
}

size_t BuildDeleteRequest(uint8_t* dst, const uint8_t mask[kMaskSize], const uint8_t* names,
                          int count) {
    const size_t nameBytes = kNameFieldSize * static_cast<size_t>(count);
    WriteRequestHeader(dst, mask, static_cast<uint16_t>(nameBytes + 2), FRAME_DELETE);
    dst[12] = static_cast<uint8_t>(count);
    std::memmove(dst + 13, names, nameBytes);
    dst[13 + nameBytes] = Crc8(dst + 12, nameBytes + 1);
    return 14 + nameBytes;
}

size_t BuildClearRequest(uint8_t* dst, const uint8_t mask[kMaskSize]) {
    return WriteRequestHeader(dst, mask, 0, FRAME_DELETE);
}

bool WriteDeleteName(uint8_t* field, const char* name, size_t length) {
    if (length == 0 || length > kNameFieldSize)
        return false;
    std::memset(field, 0, kNameFieldSize);
    std::memcpy(field, name, length);
    return true;
}

size_t BuildReplyFrame(uint8_t* dst, const uint8_t* body, size_t bodyLength) {
    std::memcpy(dst, kSyncPattern, kSyncSize);
    const size_t m = bodyLength + 1;
    PutLe16(dst + 6, static_cast<uint32_t>(m));
    dst[8] = Crc8(dst + 6, 2);
    if (bodyLength > 0)
        std::memmove(dst + 9, body, bodyLength);
    dst[9 + bodyLength] = Crc8(dst + 9, bodyLength);
    return 9 + m;
}

bool BodyCheckOk(const uint8_t* body, size_t m) {
    return m >= 1 && Crc8(body, m - 1) == body[m - 1];
}

bool DecodeStorageInfo(const uint8_t* body, size_t m, StorageInfo& out) {
    if (m < kStorageBodySize)
        return false;
    out.totalBytes = GetLe32(body + 1);
    out.clusterBytes = static_cast<uint16_t>(GetLe16(body + 5));
    out.maxFiles = static_cast<uint16_t>(GetLe16(body + 7));
    out.fileCount = static_cast<uint16_t>(GetLe16(body + 9));
    out.freeUnits = static_cast<uint16_t>(GetLe16(body + 11));
    return true;
}

bool DecodeListBlock(const uint8_t* body, size_t m, ListBlock& out) {
    if (m < 3)
        return false;
    out.block = body[0];
    out.count = body[1];
    // Entries that lie wholly before the check byte; a node that announces more than it sent
    // cannot make us read past the body.
    const size_t room = (m - 3) / 16;
    out.available = static_cast<uint8_t>(room < out.count ? room : out.count);
    out.first = body + 2;
    return true;
}

size_t BuildStorageBody(uint8_t* body, const StorageInfo& info) {
    body[0] = 0;
    PutLe32(body + 1, info.totalBytes);
    PutLe16(body + 5, info.clusterBytes);
    PutLe16(body + 7, info.maxFiles);
    PutLe16(body + 9, info.fileCount);
    PutLe16(body + 11, info.freeUnits);
    return 13;
}

size_t BuildCheckBody(uint8_t* body, uint8_t status, const uint8_t* bitmap) {
    body[0] = status;
    if (!(status & kCheckNeedPackages) || !bitmap)
        return 1;
    std::memcpy(body + 1, bitmap, kBitmapSize);
    return 1 + kBitmapSize;
}
