// The recipes that fuzz_request_parser and fuzz_node_engine share: the fuzzer's bytes turned into
// a stream of request frames and garbage (see either target for the input's layout), and the
// check that a frame the parser accepted is one the station could have sent.
#pragma once

#include "FuzzSupport.h"

#include "RequestParser.h"
#include "link/Frame.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace nodesim::fuzz {

inline void ReadMask(FuzzInput& in, uint8_t mask[kMaskSize]) {
    MaskClear(mask);
    const uint8_t m = in.u8();
    if (m < 0x80) {
        MaskSet(mask, m & 63);
        return;
    }
    in.take(mask, 4);
}

inline size_t BuildFrame(FuzzInput& in, uint8_t kind, uint8_t* frame) {
    std::memcpy(frame, kSyncPattern, kSyncSize);
    uint8_t* d = frame + kSyncSize;
    uint8_t mask[kMaskSize];
    switch (kind) {
    case 1: {
        ReadMask(in, mask);
        const uint8_t b = in.u8();
        return kSyncSize + BuildQueryRequest(d, mask, b < 0xF0 ? b % 9 : b);
    }
    case 2: {
        ReadMask(in, mask);
        uint8_t tag[4];
        in.take(tag, 4);
        return kSyncSize + BuildCheckRequest(d, mask, tag);
    }
    case 3: {
        ReadMask(in, mask);
        uint8_t head[kHeadSize] = {};
        // Package number 0 unless the fuzzer insists; short names from a small alphabet collide
        // with other heads and deletes, which is where the interesting storage paths are.
        const uint8_t sel = in.u8();
        if (sel >= 0xF0)
            PutLe16(head, in.u16());
        if (sel & 1) {
            in.take(head + 2, kNameFieldSize);
        } else {
            std::memset(head + 2, ' ', kNameFieldSize);
            head[2] = static_cast<uint8_t>('A' + (sel >> 1) % 4);
        }
        const uint32_t len = in.u32();
        PutLe32(head + 14, (sel & 0x40) ? len : len % (8 * kPackageDataSize + 1));
        in.take(head + 18, 4);
        head[22] = Crc8(head, 22);
        return kSyncSize + BuildDataRequest(d, mask, head, kHeadSize);
    }
    case 4: {
        ReadMask(in, mask);
        uint8_t package[kPackageSize];
        const uint16_t number = in.u16();
        PutLe16(package, (number & 0x8000) ? number & 0x7FFF : number % 10);
        std::memset(package + 2, in.u8(), kPackageDataSize);
        package[kPackageSize - 1] = Crc8(package, kPackageSize - 1);
        return kSyncSize + BuildDataRequest(d, mask, package, kPackageSize);
    }
    case 5: {
        ReadMask(in, mask);
        const int count = 1 + in.u8() % kMaxDeleteNames;
        uint8_t names[kMaxDeleteNames * kNameFieldSize];
        for (int i = 0; i < count; ++i) {
            uint8_t* f = names + i * kNameFieldSize;
            const uint8_t sel = in.u8();
            if (sel & 1) {
                in.take(f, kNameFieldSize);
            } else {
                // Zero-padded as the station writes them; heads are blank-padded.
                std::memset(f, 0, kNameFieldSize);
                f[0] = static_cast<uint8_t>('A' + (sel >> 1) % 4);
            }
        }
        return kSyncSize + BuildDeleteRequest(d, mask, names, count);
    }
    default:
        ReadMask(in, mask);
        return kSyncSize + BuildClearRequest(d, mask);
    }
}

// Appends frames to `out` until the input or `maxStream` bytes run out, and to `chunks` one piece
// size per recipe (0: the rest at once).
inline void AppendRecipes(FuzzInput& in, size_t maxStream, std::vector<uint8_t>& out,
                          std::vector<uint8_t>& chunks) {
    uint8_t frame[kSyncSize + kRequestHeaderSize + kPackageSize];
    while (!in.empty() && out.size() < maxStream) {
        const uint8_t kind = in.u8() % 8;
        if (kind == 0) {
            const size_t n = in.u8();
            const size_t at = out.size();
            out.resize(at + n);
            in.take(out.data() + at, n);
        } else if (kind == 7) {
            const size_t size = BuildFrame(in, 1 + in.u8() % 6, frame);
            frame[in.u16() % size] ^= static_cast<uint8_t>(1 + in.u8() % 255);
            out.insert(out.end(), frame, frame + size);
        } else {
            const size_t size = BuildFrame(in, kind, frame);
            out.insert(out.end(), frame, frame + size);
        }
        chunks.push_back(in.u8());
    }
    // An input that chose no piece sizes is still fed in pieces as well: of 7 bytes, which cut the
    // sync, the header and the payload at another place in each frame. (One byte at a time stays
    // the fuzzer's to choose; as the default it cost most of the targets' speed on long streams.)
    if (std::all_of(chunks.begin(), chunks.end(), [](uint8_t c) { return c == 0; }))
        chunks.assign(1, 7);
}

// A frame the parser accepted must be one the station could have sent.
inline void CheckRequest(const Request& r) {
    FUZZ_CHECK(LengthFitsCode(r.code, r.length), "code %02X with length %u", r.code, r.length);
    if (r.length > 0)
        FUZZ_CHECK(Crc8(r.payload, r.length - 1u) == r.payload[r.length - 1],
                   "payload check of code %02X wrong", r.code);
    if (r.code == FRAME_DELETE && r.length > 0)
        FUZZ_CHECK(r.payload[0] >= 1 && r.length == r.payload[0] * kNameFieldSize + 2,
                   "delete of %u names in %u bytes", r.payload[0], r.length);
}

// The frames of one feed, their payloads in one buffer: kept from input to input, so that
// recording them allocates nothing once the room has grown.
class FrameLog {
public:
    void clear() {
        frames_.clear();
        payloads_.clear();
    }
    size_t size() const { return frames_.size(); }
    void add(const Request& r) {
        Frame f;
        std::memcpy(f.mask, r.mask, kMaskSize);
        f.code = r.code;
        f.length = r.length;
        f.at = payloads_.size();
        frames_.push_back(f);
        payloads_.insert(payloads_.end(), r.payload, r.payload + r.length);
    }
    // Whether frame i is `r` byte for byte.
    bool same(size_t i, const Request& r) const {
        const Frame& f = frames_[i];
        return f.code == r.code && f.length == r.length &&
               std::memcmp(f.mask, r.mask, kMaskSize) == 0 &&
               (r.length == 0 || std::memcmp(payloads_.data() + f.at, r.payload, r.length) == 0);
    }

private:
    struct Frame {
        uint8_t mask[kMaskSize];
        uint8_t code;
        uint16_t length;
        size_t at;
    };
    std::vector<Frame> frames_;
    std::vector<uint8_t> payloads_;
};

} // namespace nodesim::fuzz
