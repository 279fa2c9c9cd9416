// Fuzzes the node simulator's request parser as a pure function over bytes: a stream of request
// frames and garbage is parsed whole and in chunks of fuzzer-chosen sizes. The engine behind it,
// with its replies and its storage, is fuzz_node_engine, on inputs of the same form.
//
// Input: an 8-byte preamble (the engine's configuration in fuzz_node_engine; read and unused
// here, so that both targets share their seeds), then recipes.
// Recipes: a kind byte, then per kind % 8:
//   0 raw bytes (count byte, bytes)    1 query (mask, block)      2 check (mask, tag)
//   3 head (mask, name, length, tag)   4 package (mask, number, fill byte)
//   5 delete (mask, count, 12-byte names)   6 clear (mask)   7 a valid frame, one byte changed
// A mask is one byte: below 0x80 a single node (0..63, so also the bits that are always 0);
// otherwise four more bytes, the whole mask. Then a chunk-size byte (0: whole).
//
// Invariants: no crash; every frame the parser hands over is well-formed (a length that fits its
// code, good checks); the chunked feed gives exactly the frames of the whole feed; the parser's
// counts agree with what it handed over and it never holds more than one frame.
#include "FuzzSupport.h"

#include "RequestParser.h"
#include "link/Frame.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace nodesim;

namespace {

// Enough for a head, a package and the checks around them; longer streams only repeat what
// shorter ones reach, and would cost the fuzzer most of its speed.
constexpr size_t kMaxStream = 1024;

void ReadMask(FuzzInput& in, uint8_t mask[kMaskSize]) {
    MaskClear(mask);
    const uint8_t m = in.u8();
    if (m < 0x80) {
        MaskSet(mask, m & 63);
        return;
    }
    in.take(mask, 4);
}

size_t BuildFrame(FuzzInput& in, uint8_t kind, uint8_t* frame) {
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

void AppendRecipes(FuzzInput& in, std::vector<uint8_t>& out, std::vector<uint8_t>& chunks) {
    uint8_t frame[kSyncSize + kRequestHeaderSize + kPackageSize];
    while (!in.empty() && out.size() < kMaxStream) {
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
}

// A frame the parser accepted must be one the station could have sent.
void CheckRequest(const Request& r) {
    FUZZ_CHECK(LengthFitsCode(r.code, r.length), "code %02X with length %u", r.code, r.length);
    if (r.length > 0)
        FUZZ_CHECK(Crc8(r.payload, r.length - 1u) == r.payload[r.length - 1],
                   "payload check of code %02X wrong", r.code);
    if (r.code == FRAME_DELETE && r.length > 0)
        FUZZ_CHECK(r.payload[0] >= 1 && r.length == r.payload[0] * kNameFieldSize + 2,
                   "delete of %u names in %u bytes", r.payload[0], r.length);
}

// The frames of the whole feed, kept from input to input so that their buffers are reused.
std::vector<std::vector<uint8_t>> g_frames;

void Record(std::vector<uint8_t>& to, const Request& r) {
    to.assign(r.mask, r.mask + kMaskSize);
    to.push_back(static_cast<uint8_t>(r.length));
    to.push_back(static_cast<uint8_t>(r.length >> 8));
    to.push_back(r.code);
    to.insert(to.end(), r.payload, r.payload + r.length);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::vector<uint8_t> stream, chunks, frame;
    static RequestParser whole, split;
    stream.clear();
    chunks.clear();
    FuzzInput in(data, size);
    for (int i = 0; i < 8; ++i)
        in.u8(); // the engine's configuration in fuzz_node_engine
    AppendRecipes(in, stream, chunks);
    if (std::all_of(chunks.begin(), chunks.end(), [](uint8_t c) { return c == 0; }))
        chunks.assign(1, 1); // always exercise a split feed: one byte at a time

    whole.Reset();
    size_t n = 0;
    whole.Feed(stream.data(), stream.size(), [&](const Request& r) {
        CheckRequest(r);
        if (g_frames.size() <= n)
            g_frames.emplace_back();
        Record(g_frames[n++], r);
    });
    split.Reset();
    size_t k = 0;
    // One sink for all the pieces: a sink made per call would cost an allocation per byte.
    const RequestParser::Sink check = [&](const Request& r) {
        CheckRequest(r);
        FUZZ_CHECK(k < n, "the split feed found frame %zu of %zu", k, n);
        Record(frame, r);
        FUZZ_CHECK(frame == g_frames[k], "frame %zu differs between whole and split feed", k);
        ++k;
    };
    size_t at = 0;
    for (size_t i = 0; at < stream.size(); ++i) {
        const size_t want = chunks[i % chunks.size()];
        const size_t len = want == 0 ? stream.size() - at : std::min(want, stream.size() - at);
        split.Feed(stream.data() + at, len, check);
        at += len;
    }
    FUZZ_CHECK(k == n, "%zu frames fed whole, %zu fed in pieces", n, k);
    for (const RequestParser* p : {&whole, &split}) {
        FUZZ_CHECK(p->stats().frames == n, "parser counted %llu frames, handed over %zu",
                   static_cast<unsigned long long>(p->stats().frames), n);
        FUZZ_CHECK(p->buffered() <= RequestParser::kMaxFrame, "parser holds %zu bytes",
                   p->buffered());
    }
    return 0;
}
