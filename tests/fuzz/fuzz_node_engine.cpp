// Fuzzes the node simulator's engine: a stream of request frames and garbage is fed in pieces of
// fuzzer-chosen sizes to the request parser, as the simulator's line feeds it, and every frame is
// handed to the engine as Engine::Feed does. The engine and every buffer are kept from input to
// input and reset. (The parser's own invariants, well-formed frames and the very frames of the
// whole stream from any pieces, are fuzz_request_parser's, on the inputs of this target; so
// Engine::Feed, the parser and Handle in one, answers any pieces as the whole stream.)
//
// Input: an 8-byte preamble with the simulator's configuration, then recipes.
//   [0] node count - 1 (mod 32)   [1] maxFiles (mod 225)   [2..3] allocation unit (0: 512)
//   [4..6] capacity in bytes (0: 1457664)   [7] bit 0: drop requests at random
// Recipes: a kind byte, then per kind % 8:
//   0 raw bytes (count byte, bytes)    1 query (mask, block)      2 check (mask, tag)
//   3 head (mask, name, length, tag)   4 package (mask, number, fill byte)
//   5 delete (mask, count, 12-byte names)   6 clear (mask)   7 a valid frame, one byte changed
// A mask is one byte: below 0x80 a single node (0..63, so also the bits that are always 0);
// otherwise four more bytes, the whole mask. Then a chunk-size byte (0: the rest at once; when
// every one is 0, pieces of 7 bytes).
//
// Invariants: no crash; only a query or check addressed to exactly one existing node is answered;
// every reply is a well-formed reply frame (sync, length check, body check) whose body fits the
// request it answers and reports the node's files and room as they are; the nodes' storage stays
// consistent (no more files than the table holds, no more bytes than the capacity, no name twice).
#include "FuzzSupport.h"
#include "RequestRecipes.h"

#include "Engine.h"
#include "RequestParser.h"
#include "link/Frame.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace nodesim;
using namespace nodesim::fuzz;

namespace {

// Enough for a head, a few packages and the checks around them; longer streams only repeat what
// shorter ones reach, and would cost the fuzzer most of its speed.
constexpr size_t kMaxStream = 2 * 1024;

// The files of one node, read into room kept from check to check.
std::vector<FileInfo> g_files;

const std::vector<FileInfo>& FilesOf(const Engine& engine, int node) {
    engine.files(node, g_files);
    return g_files;
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
        const std::vector<FileInfo>& files = FilesOf(engine, reply.node);
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
    const std::vector<FileInfo>& files = FilesOf(engine, reply.node);
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

void CheckStorage(const Engine& e, const Config& c) {
    for (int n = 0; n < e.nodeCount(); ++n) {
        const std::vector<FileInfo>& files = FilesOf(e, n);
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

// Feeds `bytes` in pieces of the sizes `chunks` gives in turn (0: the rest at once).
template <typename FeedPiece>
void FeedInPieces(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& chunks,
                  FeedPiece feed) {
    size_t at = 0;
    for (size_t i = 0; at < bytes.size(); ++i) {
        const size_t want = chunks[i % chunks.size()];
        const size_t n = want == 0 ? bytes.size() - at : std::min(want, bytes.size() - at);
        feed(bytes.data() + at, n);
        at += n;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::vector<uint8_t> stream, chunks;
    static RequestParser parser;
    static Engine engine{Config()};
    stream.clear();
    chunks.clear();
    FuzzInput in(data, size);
    const Config config = MakeConfig(in);
    AppendRecipes(in, kMaxStream, stream, chunks);

    engine.Reset(config);
    parser.Reset();
    size_t n = 0;
    // One sink for all the pieces: a sink made per call would cost its construction per piece.
    // The reply is kept from frame to frame as well: on the stack, its room would be poisoned
    // and unpoisoned around every frame. Handle fills all of it that a check reads.
    static Reply reply;
    const RequestParser::Sink handle = [&](const Request& r) {
        ++n;
        if (engine.Handle(r, &reply))
            CheckReply(r, reply, engine);
    };
    FeedInPieces(stream, chunks,
                 [&](const uint8_t* p, size_t len) { parser.Feed(p, len, handle); });
    FUZZ_CHECK(parser.stats().frames == n, "parser counted %llu frames, handed over %zu",
               static_cast<unsigned long long>(parser.stats().frames), n);
    FUZZ_CHECK(parser.buffered() <= RequestParser::kMaxFrame, "parser holds %zu bytes",
               parser.buffered());
    CheckStorage(engine, config);

    // What this input stored is let go now (its room kept by the engine for the next input):
    // libFuzzer runs an input again under LeakSanitizer whenever it allocates more blocks than
    // it frees.
    engine.Reset(config);
    return 0;
}
