// Fuzzes the node simulator's engine behind its request parser: a stream of request frames and
// garbage is parsed whole and handed to one engine frame by frame, and fed in chunks of
// fuzzer-chosen sizes to a twin engine through its own feed, as the simulator's line does. (That
// the pieces give the very frames of the whole stream is fuzz_request_parser's invariant, on the
// inputs of this target.) The engines and every buffer are kept from input to input and reset.
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
// Invariants: no crash; every frame the parser hands over is well-formed; every reply is a
// well-formed reply frame (sync, length check, body check) whose body fits the request it
// answers and reports the node's files and room as they are; Engine::Feed in chunks gives exactly
// the replies, the counts (of frames, refusals, drops, packages, files) and the files of the
// whole stream handed over frame by frame; the nodes' storage stays consistent.
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

// Sync, header check, body check, and a body that answers the request.
// The files of one node, read into room kept from check to check.
std::vector<FileInfo> g_files;

const std::vector<FileInfo>& FilesOf(const Engine& engine, int node) {
    engine.files(node, g_files);
    return g_files;
}

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

// The replies of the whole feed, kept from input to input so that their room is reused.
std::vector<std::vector<uint8_t>> g_wholeReplies, g_fedReplies;

bool SameCounts(const Statistics& a, const Statistics& b) {
    return a.framesByCode == b.framesByCode && a.badContent == b.badContent &&
           a.framesDropped == b.framesDropped && a.repliesSent == b.repliesSent;
}

bool SameCounts(const NodeStatistics& a, const NodeStatistics& b) {
    return a.dataFramesAddressed == b.dataFramesAddressed && a.framesDropped == b.framesDropped &&
           a.repliesSent == b.repliesSent && a.headsAccepted == b.headsAccepted &&
           a.packagesAccepted == b.packagesAccepted && a.filesCompleted == b.filesCompleted;
}

bool SameCounts(const ParserStatistics& a, const ParserStatistics& b) {
    return a.frames == b.frames && a.badHeaderCheck == b.badHeaderCheck &&
           a.badLength == b.badLength && a.badPayloadCheck == b.badPayloadCheck &&
           a.skippedBytes == b.skippedBytes;
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
    static Engine whole{Config()}, fed{Config()};
    stream.clear();
    chunks.clear();
    FuzzInput in(data, size);
    const Config config = MakeConfig(in);
    AppendRecipes(in, kMaxStream, stream, chunks);

    // The whole stream, frame by frame into the engine: every frame and reply checked and kept.
    whole.Reset(config);
    parser.Reset();
    size_t n = 0, nw = 0;
    parser.Feed(stream.data(), stream.size(), [&](const Request& r) {
        CheckRequest(r);
        ++n;
        Reply reply;
        if (whole.Handle(r, &reply)) {
            CheckReply(r, reply, whole);
            if (g_wholeReplies.size() <= nw)
                g_wholeReplies.emplace_back();
            g_wholeReplies[nw++].assign(reply.bytes.begin(), reply.bytes.begin() + reply.size);
        }
    });
    FUZZ_CHECK(parser.stats().frames == n, "parser counted %llu frames, handed over %zu",
               static_cast<unsigned long long>(parser.stats().frames), n);
    FUZZ_CHECK(parser.buffered() <= RequestParser::kMaxFrame, "parser holds %zu bytes",
               parser.buffered());
    CheckStorage(whole, config);

    // The engine's own feed, in pieces, gives the same replies, counts and files.
    fed.Reset(config);
    size_t nf = 0;
    // One sink for all the pieces: a sink made per call would cost its construction per piece.
    const Engine::ReplySink keep = [&](const Reply& r) {
        if (g_fedReplies.size() <= nf)
            g_fedReplies.emplace_back();
        g_fedReplies[nf++].assign(r.bytes.begin(), r.bytes.begin() + r.size);
    };
    FeedInPieces(stream, chunks, [&](const uint8_t* p, size_t len) { fed.Feed(p, len, keep); });
    FUZZ_CHECK(nf == nw, "Engine::Feed gave %zu replies, Handle %zu", nf, nw);
    for (size_t i = 0; i < nw; ++i)
        FUZZ_CHECK(g_fedReplies[i] == g_wholeReplies[i], "Engine::Feed reply %zu differs", i);
    const Statistics ws = whole.stats(), fs = fed.stats();
    FUZZ_CHECK(SameCounts(fs.parser, parser.stats()) && SameCounts(ws, fs),
               "Engine::Feed counted otherwise (%llu frames, %llu refused; whole %llu, %llu)",
               static_cast<unsigned long long>(fs.parser.frames),
               static_cast<unsigned long long>(fs.badContent),
               static_cast<unsigned long long>(parser.stats().frames),
               static_cast<unsigned long long>(ws.badContent));
    static std::vector<FileInfo> fedFiles;
    for (int node = 0; node < whole.nodeCount(); ++node) {
        FUZZ_CHECK(SameCounts(whole.nodeStats(node), fed.nodeStats(node)),
                   "node %d counted otherwise after Engine::Feed", node);
        fed.files(node, fedFiles);
        const std::vector<FileInfo>& files = FilesOf(whole, node);
        bool same = files.size() == fedFiles.size();
        for (size_t i = 0; same && i < files.size(); ++i)
            same = files[i].name == fedFiles[i].name && files[i].length == fedFiles[i].length &&
                   files[i].tag == fedFiles[i].tag;
        FUZZ_CHECK(same, "node %d holds other files after Engine::Feed", node);
    }

    // What this input stored is let go now: libFuzzer runs an input again under LeakSanitizer
    // whenever it leaves more blocks allocated than it found.
    whole.Reset(config);
    fed.Reset(config);
    return 0;
}
