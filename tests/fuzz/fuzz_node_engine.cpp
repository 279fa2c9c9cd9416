// Fuzzes the node simulator's engine behind its request parser: a stream of request frames and
// garbage is fed in chunks of fuzzer-chosen sizes to one engine and all at once to a twin. (The
// parser alone, as a pure function over bytes, is fuzz_request_parser; its inputs are this
// target's too.)
//
// Input: an 8-byte preamble with the simulator's configuration, then recipes.
//   [0] node count - 1 (mod 32)   [1] maxFiles (mod 225)   [2..3] allocation unit (0: 512)
//   [4..6] capacity in bytes (0: 1457664)   [7] bit 0: drop requests at random
// Recipes: a kind byte, then per kind % 8:
//   0 raw bytes (count byte, bytes)    1 query (mask, block)      2 check (mask, tag)
//   3 head (mask, name, length, tag)   4 package (mask, number, fill byte)
//   5 delete (mask, count, 12-byte names)   6 clear (mask)   7 a valid frame, one byte changed
// A mask is one byte: below 0x80 a single node (0..63, so also the bits that are always 0);
// otherwise four more bytes, the whole mask. Then a chunk-size byte (0: whole).
//
// Invariants: no crash; every frame the parser hands over is well-formed; every reply is a
// well-formed reply frame (sync, length check, body check) whose body fits the request it
// answers; the chunked feed gives exactly the frames and replies of the whole feed; the nodes'
// storage figures stay consistent.
#include "FuzzSupport.h"

#include "Engine.h"
#include "RequestParser.h"
#include "link/Frame.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace nodesim;

namespace {

// Enough for a head, a few packages and the checks around them; longer streams only repeat what
// shorter ones reach, and would cost the fuzzer most of its speed.
constexpr size_t kMaxStream = 2 * 1024;

struct Recorded {
    std::vector<uint8_t> frame; // mask, length, code, payload
    std::vector<uint8_t> reply; // empty: none
};

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

// Sync, header check, body check, and a body that answers the request.
void CheckReply(const Request& r, const Reply& reply, const Engine& engine) {
    const int nodeCount = engine.nodeCount();
    FUZZ_CHECK(r.code == FRAME_QUERY || r.code == FRAME_CHECK, "reply to code %02X", r.code);
    FUZZ_CHECK(reply.node >= 0 && reply.node < nodeCount, "reply from node %d of %d", reply.node,
               nodeCount);
    uint8_t only[kMaskSize] = {};
    MaskSet(only, reply.node);
    FUZZ_CHECK(std::memcmp(only, r.mask, kMaskSize) == 0,
               "node %d answered a frame not addressed to it alone", reply.node);
    FUZZ_CHECK(reply.size >= kSyncSize + kReplyHeaderSize + 1 && reply.size <= kMaxReplyFrame,
               "reply of %zu bytes", reply.size);
    const uint8_t* b = reply.bytes.data();
    FUZZ_CHECK(std::memcmp(b, kSyncPattern, kSyncSize) == 0, "reply without sync");
    FUZZ_CHECK(Crc8(b + 6, 2) == b[8], "reply header check wrong");
    const size_t m = GetLe16(b + 6);
    FUZZ_CHECK(reply.size == 9 + m, "reply of %zu bytes announces a body of %zu", reply.size, m);
    const uint8_t* body = b + 9;
    FUZZ_CHECK(BodyCheckOk(body, m), "reply body check wrong");

    if (r.code == FRAME_CHECK) {
        FUZZ_CHECK((m == 2 && !(body[0] & kCheckNeedPackages)) ||
                       (m == kFullCheckBodySize && body[0] == kCheckNeedPackages),
                   "check reply status %02X with a body of %zu", body[0], m);
        if (m == kFullCheckBodySize) {
            // Package 0 is the head, which a node that asks for packages already has.
            FUZZ_CHECK(!(body[1] & 1), "need bitmap asks for the head");
        }
        FUZZ_CHECK(body[0] == 0 || body[0] == kCheckNeedHead || body[0] == kCheckNoRoom ||
                       body[0] == kCheckFileNumExceed || body[0] == kCheckNeedPackages,
                   "check status %02X", body[0]);
        return;
    }
    const uint8_t block = r.payload[0];
    if (block == 0) {
        StorageInfo info;
        FUZZ_CHECK(m == kStorageBodySize && DecodeStorageInfo(body, m, info),
                   "storage reply of %zu bytes", m);
        FUZZ_CHECK(info.fileCount <= info.maxFiles, "node holds %u files, maximum %u",
                   info.fileCount, info.maxFiles);
        FUZZ_CHECK(uint64_t(info.freeUnits) * info.clusterBytes <= info.totalBytes,
                   "free room %u x %u above capacity %u", info.freeUnits, info.clusterBytes,
                   info.totalBytes);
        // Reported honestly: the figures are those of the files the node holds.
        const Config& c = engine.config();
        const auto files = engine.files(reply.node);
        uint64_t used = 0;
        for (const FileInfo& f : files)
            used += (uint64_t(f.length) + c.clusterBytes - 1) / c.clusterBytes * c.clusterBytes;
        const uint64_t freeUnits =
            used < c.capacityBytes ? (c.capacityBytes - used) / c.clusterBytes : 0;
        FUZZ_CHECK(info.fileCount == files.size() &&
                       info.maxFiles == static_cast<uint32_t>(c.maxFiles) &&
                       info.totalBytes == c.capacityBytes && info.clusterBytes == c.clusterBytes &&
                       info.freeUnits == std::min<uint64_t>(freeUnits, 0xFFFF),
                   "node %d reports %u files, %u free units; holds %zu files, %llu units free",
                   reply.node, info.fileCount, info.freeUnits, files.size(),
                   static_cast<unsigned long long>(freeUnits));
        return;
    }
    ListBlock lb;
    FUZZ_CHECK(DecodeListBlock(body, m, lb), "list block of %zu bytes", m);
    FUZZ_CHECK(lb.block == block && lb.count <= kEntriesPerBlock && lb.available == lb.count &&
                   m == 3 + 16u * lb.count,
               "list block %u (asked %u) with %u entries in %zu bytes", lb.block, block, lb.count,
               m);
    // The block lists the node's files from 32 (block - 1) on, names and lengths as held.
    const auto files = engine.files(reply.node);
    const size_t first = size_t(kEntriesPerBlock) * (block - 1);
    const size_t expected =
        first < files.size() ? std::min<size_t>(kEntriesPerBlock, files.size() - first) : 0;
    FUZZ_CHECK(lb.count == expected, "block %u lists %u entries of %zu files", block, lb.count,
               files.size());
    for (size_t j = 0; j < lb.count; ++j) {
        const FileInfo& f = files[first + j];
        FUZZ_CHECK(std::memcmp(lb.first + 16 * j, f.name.data(), kNameFieldSize) == 0 &&
                       GetLe32(lb.first + 16 * j + 12) == f.length,
                   "block %u entry %zu is not the file the node holds", block, j);
    }
}

Config MakeConfig(FuzzInput& in) {
    Config c;
    c.nodeCount = 1 + in.u8() % kMaxNodes;
    c.maxFiles = in.u8() % (kMaxEntries + 1);
    const uint16_t unit = in.u16();
    c.clusterBytes = unit ? unit : 512;
    const uint32_t cap = in.u8() | (in.u8() << 8) | (uint32_t(in.u8()) << 16);
    c.capacityBytes = cap ? cap : 1457664;
    if (in.u8() & 1)
        c.dropRate = 0.25;
    c.turnaroundMs = 0;
    return c;
}

// Feeds `stream` through a parser and engine; `chunks` empty means all at once.
// Returns the number of frames recorded into `out`.
size_t Run(const std::vector<uint8_t>& stream, const std::vector<uint8_t>& chunks, Engine& engine,
           std::vector<Recorded>& out) {
    size_t used = 0;
    static RequestParser parser;
    parser.Reset();
    // One sink for all the pieces: a sink made per call would cost an allocation per byte.
    const RequestParser::Sink sink = [&](const Request& r) {
        CheckRequest(r);
        // Records are kept from input to input, so that their buffers are not allocated anew.
        if (out.size() <= used)
            out.emplace_back();
        Recorded& rec = out[used++];
        rec.reply.clear();
        rec.frame.assign(r.mask, r.mask + kMaskSize);
        rec.frame.push_back(static_cast<uint8_t>(r.length));
        rec.frame.push_back(static_cast<uint8_t>(r.length >> 8));
        rec.frame.push_back(r.code);
        rec.frame.insert(rec.frame.end(), r.payload, r.payload + r.length);
        Reply reply;
        if (engine.Handle(r, &reply)) {
            CheckReply(r, reply, engine);
            rec.reply.assign(reply.bytes.begin(), reply.bytes.begin() + reply.size);
        }
    };
    if (chunks.empty()) {
        parser.Feed(stream.data(), stream.size(), sink);
    } else {
        size_t at = 0;
        for (size_t i = 0; at < stream.size(); ++i) {
            const size_t want = chunks[i % chunks.size()];
            const size_t n = want == 0 ? stream.size() - at : std::min(want, stream.size() - at);
            parser.Feed(stream.data() + at, n, sink);
            at += n;
        }
    }
    const ParserStatistics& st = parser.stats();
    FUZZ_CHECK(st.frames == used, "parser counted %llu frames, handed over %zu",
               static_cast<unsigned long long>(st.frames), used);
    FUZZ_CHECK(parser.buffered() <= RequestParser::kMaxFrame, "parser holds %zu bytes",
               parser.buffered());
    return used;
}

void CheckStorage(const Engine& e, const Config& c) {
    for (int n = 0; n < e.nodeCount(); ++n) {
        const auto files = e.files(n);
        FUZZ_CHECK(files.size() <= static_cast<size_t>(c.maxFiles), "node %d holds %zu files", n,
                   files.size());
        uint64_t used = 0;
        for (const FileInfo& f : files)
            used += (uint64_t(f.length) + c.clusterBytes - 1) / c.clusterBytes * c.clusterBytes;
        FUZZ_CHECK(used <= c.capacityBytes, "node %d uses %llu of %u bytes", n,
                   static_cast<unsigned long long>(used), c.capacityBytes);
        for (size_t i = 0; i < files.size(); ++i)
            for (size_t j = i + 1; j < files.size(); ++j)
                FUZZ_CHECK(!SameName(reinterpret_cast<const uint8_t*>(files[i].name.data()),
                                     reinterpret_cast<const uint8_t*>(files[j].name.data())),
                           "node %d holds two files of one name", n);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Kept from input to input and reset, so that an input costs no allocation it need not.
    static std::vector<uint8_t> stream, chunks;
    static std::vector<Recorded> a, b;
    static std::vector<std::vector<uint8_t>> replies;
    static Engine whole{Config()}, split{Config()}, fed{Config()};
    stream.clear();
    chunks.clear();
    FuzzInput in(data, size);
    const Config config = MakeConfig(in);
    AppendRecipes(in, stream, chunks);
    if (std::all_of(chunks.begin(), chunks.end(), [](uint8_t c) { return c == 0; }))
        chunks.assign(1, 1); // always exercise a split feed: one byte at a time

    whole.Reset(config);
    split.Reset(config);
    const size_t na = Run(stream, {}, whole, a);
    const size_t nb = Run(stream, chunks, split, b);
    FUZZ_CHECK(na == nb, "%zu frames fed whole, %zu fed in pieces", na, nb);
    for (size_t i = 0; i < na; ++i) {
        FUZZ_CHECK(a[i].frame == b[i].frame, "frame %zu differs between whole and split feed", i);
        FUZZ_CHECK(a[i].reply == b[i].reply, "reply %zu differs between whole and split feed", i);
    }
    CheckStorage(whole, config);

    // The engine's own feed path gives the same replies.
    fed.Reset(config);
    size_t nr = 0;
    fed.Feed(stream.data(), stream.size(), [&](const Reply& r) {
        if (replies.size() <= nr)
            replies.emplace_back();
        replies[nr++].assign(r.bytes.begin(), r.bytes.begin() + r.size);
    });
    size_t k = 0;
    for (size_t i = 0; i < na; ++i) {
        if (a[i].reply.empty())
            continue;
        FUZZ_CHECK(k < nr && replies[k] == a[i].reply, "Engine::Feed reply %zu differs", k);
        ++k;
    }
    FUZZ_CHECK(k == nr, "Engine::Feed gave %zu replies, Handle %zu", nr, k);
    return 0;
}
