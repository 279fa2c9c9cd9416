// Request frames as the station puts them on the line, and reply checking, for the simulator
// tests.
#pragma once

#include "Engine.h"
#include "link/Frame.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace nodesim::test {

using Bytes = std::vector<uint8_t>;

struct Mask {
    uint8_t bits[kMaskSize] = {};
    Mask(std::initializer_list<int> nodes) {
        for (int n : nodes)
            MaskSet(bits, n);
    }
};

// Sync bytes followed by what `build` writes from byte 6 on.
template <typename Build> Bytes OnLine(Build build) {
    Bytes frame(kSyncSize + kRequestHeaderSize + kPackageSize);
    std::memcpy(frame.data(), kSyncPattern, kSyncSize);
    frame.resize(kSyncSize + build(frame.data() + kSyncSize));
    return frame;
}

inline Bytes QueryFrame(const Mask& m, uint8_t block) {
    return OnLine([&](uint8_t* d) { return BuildQueryRequest(d, m.bits, block); });
}
inline Bytes CheckFrame(const Mask& m, const FileTag& tag) {
    return OnLine([&](uint8_t* d) { return BuildCheckRequest(d, m.bits, tag.data()); });
}
inline Bytes ClearFrame(const Mask& m) {
    return OnLine([&](uint8_t* d) { return BuildClearRequest(d, m.bits); });
}
inline Bytes DeleteFrame(const Mask& m, const std::vector<std::string>& names) {
    Bytes fields(names.size() * kNameFieldSize);
    for (size_t i = 0; i < names.size(); ++i)
        WriteDeleteName(fields.data() + i * kNameFieldSize, names[i].data(), names[i].size());
    return OnLine([&](uint8_t* d) {
        return BuildDeleteRequest(d, m.bits, fields.data(), static_cast<int>(names.size()));
    });
}
inline Bytes HeadFrame(const Mask& m, const std::string& nameField, uint32_t length,
                       const FileTag& tag) {
    uint8_t head[kHeadSize] = {};
    std::memcpy(head + 2, nameField.data(), kNameFieldSize);
    PutLe32(head + 14, length);
    std::memcpy(head + 18, tag.data(), 4);
    head[22] = Crc8(head, 22);
    return OnLine([&](uint8_t* d) { return BuildDataRequest(d, m.bits, head, kHeadSize); });
}
// Package i of `content`, the last one zero-padded.
inline Bytes PackageFrame(const Mask& m, const Bytes& content, int i) {
    uint8_t package[kPackageSize] = {};
    PutLe16(package, static_cast<uint32_t>(i));
    const size_t offset = static_cast<size_t>(i - 1) * kPackageDataSize;
    if (offset < content.size())
        std::memcpy(package + 2, content.data() + offset,
                    std::min(kPackageDataSize, content.size() - offset));
    package[514] = Crc8(package, 514);
    return OnLine([&](uint8_t* d) { return BuildDataRequest(d, m.bits, package, kPackageSize); });
}
inline int PackageCount(size_t length) {
    return static_cast<int>((length + kPackageDataSize - 1) / kPackageDataSize);
}

inline Bytes Pattern(size_t length, uint32_t seed) {
    Bytes b(length);
    for (size_t i = 0; i < length; ++i)
        b[i] = static_cast<uint8_t>((i * 131 + seed * 7 + (i >> 9)) ^ (seed >> 3));
    return b;
}

// Feeds the frame; returns the reply frames it caused.
inline std::vector<Bytes> Send(Engine& engine, const Bytes& frame) {
    std::vector<Bytes> replies;
    engine.Feed(frame.data(), frame.size(), [&](const Reply& r) {
        replies.emplace_back(r.bytes.begin(), r.bytes.begin() + static_cast<long>(r.size));
    });
    return replies;
}

inline void SendFile(Engine& engine, const Mask& m, const std::string& nameField,
                     const Bytes& content, const FileTag& tag) {
    Send(engine, HeadFrame(m, nameField, static_cast<uint32_t>(content.size()), tag));
    for (int i = 1; i <= PackageCount(content.size()); ++i)
        Send(engine, PackageFrame(m, content, i));
}

// The body (check byte included) of a well-formed reply frame; empty, with a failure, otherwise.
inline Bytes ReplyBody(const Bytes& frame) {
    const bool framed = frame.size() >= kSyncSize + kReplyHeaderSize &&
                        std::memcmp(frame.data(), kSyncPattern, kSyncSize) == 0 &&
                        Crc8(frame.data() + 6, 2) == frame[8] &&
                        frame.size() == 9 + GetLe16(frame.data() + 6) &&
                        BodyCheckOk(frame.data() + 9, frame.size() - 9);
    EXPECT_TRUE(framed) << "malformed reply of " << frame.size() << " bytes";
    return framed ? Bytes(frame.begin() + 9, frame.end()) : Bytes{};
}

// The only reply that `frame` causes, as its body.
inline Bytes OnlyReplyBody(Engine& engine, const Bytes& frame) {
    const std::vector<Bytes> replies = Send(engine, frame);
    EXPECT_EQ(replies.size(), 1u);
    return replies.size() == 1 ? ReplyBody(replies[0]) : Bytes{};
}

} // namespace nodesim::test
