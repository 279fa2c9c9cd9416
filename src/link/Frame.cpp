#include "link/Frame.h"

#include <array>
#include <cstring>

namespace {

// CRC-8 table of x^8 + x^2 + x + 1, most significant bit first.
constexpr std::array<uint8_t, 256> MakeTable() {
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) {
        uint8_t c = static_cast<uint8_t>(i);
        for (int b = 0; b < 8; ++b)
            c = static_cast<uint8_t>((c & 0x80) ? (c << 1) ^ 0x07 : (c << 1));
        t[i] = c;
    }
    return t;
}
constexpr auto kTable = MakeTable();

} // namespace

uint8_t Crc8(const uint8_t* data, size_t count) {
    uint8_t c = 0;
    for (size_t i = 0; i < count; ++i)
        c = static_cast<uint8_t>(~kTable[c ^ data[i]]);
    return c;
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
