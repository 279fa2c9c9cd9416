// Fuzzes the station's reply parser: arbitrary bytes arrive on channel 0 of a centre built by hand
// (no threads) while a query or a file check awaits a reply, and the parser decodes whatever it
// finds into the node records.
//
// Input: a 21-byte preamble that sets the scene, then the line bytes.
//   [0]      bit 0 check (else query); bit 1 another command (the parser must only skip);
//            bit 2 the asked node is outside the target mask (a cancelled node);
//            bit 3 the line bytes are recipes (below) rather than raw bytes
//   [1]      replyNode, signed: -8..39 as it is, anything else scaled far out of range
//   [2..5]   queryBlock, any int32
//   [6..9]   the node's fileCount, any int32
//   [10..13] the node's listedCount
//   [14..15] the store's packageCount, int16 (negative and above 2880 included)
//   [16..19] target mask bytes 0..3
//   [20]     bytes the port delivers per reader pass (0: all at once)
// Recipes: kind byte, then for kind % 4 = 0 raw bytes (count byte, bytes); 1 a well-formed reply
// (2-byte body length, body); 2 sync and a good header announcing any length (2 bytes), then a
// count byte and that many raw bytes; 3 as 1 with the body check spoiled.
//
// Invariants: no node but the asked one changes (canaries in every other record, both channels),
// the asked node changes only in the fields and entries its reply may write, statuses stay
// within the parser's codes, listedCount moves by at most one block's entries, the need bitmap
// and missingCount agree, and the ring and sync state stay in range.
#include "FuzzSupport.h"

#include "link/CommCenter.h"
#include "link/NodeStatus.h"
#include "platform/ScriptedSerialPort.h"

#include <cstring>
#include <vector>

namespace {

constexpr uint8_t kEntryCanary = 0xC5;
constexpr int32_t kNeedCanary = 0x5A5A5A5A;
constexpr int32_t kStatusCanary = NS_REQUEST_SENT; // what a transmitter leaves before a reply
constexpr size_t kMaxStream = 64 * 1024;
constexpr int kMaxSteps = 200000;
// The most whole entries a body that fits the ring can carry: (2047 - 3) / 16.
constexpr int64_t kMaxEntriesPerReply = 127;

struct Canary {
    uint32_t totalBytes = 0xCAFEF00Du;
    int32_t clusterBytes = 0x1234;
    int32_t maxFiles = 0x7777;
    int32_t fileCount = 0x6666;
    int32_t listedCount = 0x5555;
    int32_t freeBytes = 0x4444;
    int32_t progress = 0x3333;
    int32_t pendingTaskCount = 0x2222;
    int32_t currentTaskNo = 0x1111;
    int32_t replied = 0x77;
    int32_t missingCount = 0xBAD;
    int32_t packageTotal = 0xDDD;
};

struct Fields {
    int32_t status, clusterBytes, maxFiles, fileCount, listedCount, freeBytes, replied,
        missingCount;
    uint32_t totalBytes;
};

Fields Read(const NodeRecord& r) {
    return {r.status.load(),    r.clusterBytes.load(), r.maxFiles.load(),
            r.fileCount.load(), r.listedCount.load(),  r.freeBytes.load(),
            r.replied.load(),   r.missingCount.load(), r.totalBytes.load()};
}

void Fill(NodeRecord& r, int32_t fileCount, int32_t listedCount) {
    const Canary c;
    r.status.store(kStatusCanary);
    r.totalBytes.store(c.totalBytes);
    r.clusterBytes.store(c.clusterBytes);
    r.maxFiles.store(c.maxFiles);
    r.fileCount.store(fileCount);
    r.listedCount.store(listedCount);
    r.freeBytes.store(c.freeBytes);
    r.progress.store(c.progress);
    r.pendingTaskCount.store(c.pendingTaskCount);
    r.currentTaskNo.store(c.currentTaskNo);
    r.replied.store(c.replied);
    r.missingCount.store(c.missingCount);
    r.packageTotal.store(c.packageTotal);
    std::memset(r.entries, kEntryCanary, sizeof r.entries);
    for (auto& n : r.needPackage)
        n.store(kNeedCanary, std::memory_order_relaxed);
}

bool EntriesIntact(const NodeRecord& r) {
    static const std::vector<uint8_t> pattern(sizeof r.entries, kEntryCanary);
    return std::memcmp(r.entries, pattern.data(), pattern.size()) == 0;
}

// The bytes of an unlocked mutex that nobody has touched. The node's lock sits right after its
// entries, so an entry written past the table lands in it first; unlocking does not hide that.
const unsigned char* PristineMutex() {
    static const std::mutex m;
    return reinterpret_cast<const unsigned char*>(&m);
}

// Fields that no reply may write, on any node.
void CheckNeverWritten(NodeRecord& r, int c, int n) {
    const Canary k;
    FUZZ_CHECK(r.progress.load() == k.progress && r.pendingTaskCount.load() == k.pendingTaskCount &&
                   r.currentTaskNo.load() == k.currentTaskNo &&
                   r.packageTotal.load() == k.packageTotal,
               "task-layer fields of node %d/%d changed", c, n);
    for (int i = 0; i < kMaxEntries; ++i)
        FUZZ_CHECK(r.entries[i][12] == kEntryCanary, "node %d/%d entry %d: zero byte written", c, n,
                   i);
    FUZZ_CHECK(std::memcmp(&r.entriesLock, PristineMutex(), sizeof r.entriesLock) == 0,
               "node %d/%d: the lock after the entries was overwritten", c, n);
    FUZZ_CHECK(r.pendingTasks.Count() == 0, "node %d/%d: the task notes before the entries changed",
               c, n);
}

// A record the parser had no business touching.
void CheckUntouched(NodeRecord& r, int c, int n) {
    const Canary k;
    const Fields f = Read(r);
    FUZZ_CHECK(f.status == kStatusCanary && f.totalBytes == k.totalBytes &&
                   f.clusterBytes == k.clusterBytes && f.maxFiles == k.maxFiles &&
                   f.fileCount == k.fileCount && f.listedCount == k.listedCount &&
                   f.freeBytes == k.freeBytes && f.replied == k.replied &&
                   f.missingCount == k.missingCount,
               "node %d/%d written (status %d fileCount %d listedCount %d missing %d)", c, n,
               f.status, f.fileCount, f.listedCount, f.missingCount);
    CheckNeverWritten(r, c, n);
    FUZZ_CHECK(EntriesIntact(r), "node %d/%d entries written", c, n);
    for (int p = 0; p < kMaxPackages; ++p)
        FUZZ_CHECK(r.needPackage[p].load(std::memory_order_relaxed) == kNeedCanary,
                   "node %d/%d needPackage[%d] written", c, n, p);
}

struct Rig {
    CCommCenter* cc = nullptr;
    ScriptedSerialPort* port = nullptr;
    // The line bytes of the current input and how far the port has been given them.
    std::vector<uint8_t> stream;
    size_t delivered = 0;
    size_t chunk = 0;

    void Deliver() {
        if (delivered >= stream.size())
            return;
        size_t n = stream.size() - delivered;
        if (chunk != 0 && chunk < n)
            n = chunk;
        port->QueueInput(stream.data() + delivered, n);
        delivered += n;
    }
};

Rig& TheRig() {
    static Rig* rig = [] {
        auto* r = new Rig;
        SetPortFactory([r] {
            auto p = std::make_unique<ScriptedSerialPort>();
            r->port = p.get();
            return p;
        });
        // A centre is a few megabytes: built once, its records reset between inputs.
        r->cc = new CCommCenter();
        if (r->cc->OpenPort(0, "/dev/fuzz", 3) != 1)
            std::abort();
        // Waits are instant; each one lets more of the line arrive, as time passing would.
        r->cc->pauseHook = [r](int) {
            r->Deliver();
            r->cc->ReaderStep(0);
            return true;
        };
        r->cc->channels[0].nodeCount.store(kMaxNodes);
        for (int c = 0; c < kChannels; ++c)
            for (int n = 0; n < kMaxNodes; ++n)
                Fill(r->cc->nodes[c][n], Canary().fileCount, Canary().listedCount);
        r->stream.reserve(kMaxStream + 4096);
        return r;
    }();
    return *rig;
}

void AppendRecipes(FuzzInput& in, std::vector<uint8_t>& out) {
    std::vector<uint8_t> body;
    uint8_t frame[2 * kRingSize + 16];
    while (!in.empty() && out.size() < kMaxStream) {
        const uint8_t kind = in.u8();
        switch (kind % 4) {
        case 0: {
            const size_t n = in.u8();
            const size_t at = out.size();
            out.resize(at + n);
            in.take(out.data() + at, n);
            break;
        }
        case 1:
        case 3: {
            const size_t n = in.u16() % (kRingSize + 64);
            body.resize(n + 1); // never empty: the builder copies from it
            in.take(body.data(), n);
            const size_t size = BuildReplyFrame(frame, body.data(), n);
            if (kind % 4 == 3)
                frame[size - 1] ^= 0x01;
            out.insert(out.end(), frame, frame + size);
            break;
        }
        case 2: {
            uint8_t header[9];
            std::memcpy(header, kSyncPattern, kSyncSize);
            PutLe16(header + 6, in.u16());
            header[8] = Crc8(header + 6, 2);
            out.insert(out.end(), header, header + sizeof header);
            const size_t n = in.u8();
            const size_t at = out.size();
            out.resize(at + n);
            in.take(out.data() + at, n);
            break;
        }
        }
    }
}

int CountNeeded(const NodeRecord& r, int32_t packageCount, bool* allBits, bool* allCanary) {
    int missing = 0;
    *allBits = true;
    *allCanary = true;
    for (int p = 0; p < kMaxPackages; ++p) {
        const int32_t v = r.needPackage[p].load(std::memory_order_relaxed);
        if (v != kNeedCanary)
            *allCanary = false;
        if (v != 0 && v != 1)
            *allBits = false;
        else if (v == 1 && p <= packageCount)
            ++missing;
    }
    return missing;
}

struct Scene {
    int32_t cmd;
    int32_t node;
    int32_t queryBlock;
    bool inMask;
    int32_t packageCount;
};

// What one parser step may have done to the asked node.
void CheckStep(const Scene& s, NodeRecord& r, const Fields& pre, const Fields& post,
               const uint8_t (*preEntries)[kEntrySize], bool parsed) {
    const int t = s.node;
    const bool sameEntries = std::memcmp(preEntries, r.entries, sizeof r.entries) == 0;
    if (!parsed) {
        FUZZ_CHECK(std::memcmp(&pre, &post, sizeof pre) == 0 && sameEntries,
                   "node %d changed without a reply being decoded", t);
        return;
    }
    CheckNeverWritten(r, 0, t);
    FUZZ_CHECK(post.replied == pre.replied || post.replied == 1, "replied = %d", post.replied);

    if (s.cmd == CMD_CHECK_FILE) {
        const int32_t st = post.status;
        FUZZ_CHECK(st == pre.status || st == NS_NEED_HEAD || st == NS_NO_REPLY ||
                       st == NS_FILE_DONE || st == NS_NO_ROOM || st == NS_FILE_NUM_EXCEED ||
                       st == NS_MORE,
                   "check reply left status %d", st);
        FUZZ_CHECK(sameEntries && post.listedCount == pre.listedCount &&
                       post.fileCount == pre.fileCount && post.totalBytes == pre.totalBytes &&
                       post.maxFiles == pre.maxFiles && post.freeBytes == pre.freeBytes &&
                       post.clusterBytes == pre.clusterBytes,
                   "check reply wrote query fields of node %d", t);
        bool allBits = false, allCanary = false;
        const int missing = CountNeeded(r, s.packageCount, &allBits, &allCanary);
        FUZZ_CHECK(allBits || allCanary, "needPackage of node %d partly written", t);
        FUZZ_CHECK(post.missingCount == 0 || (allBits && post.missingCount == missing),
                   "missingCount %d, bitmap counts %d", post.missingCount, missing);
        if (!s.inMask)
            FUZZ_CHECK(allCanary, "bitmap written for a node outside the mask");
        return;
    }

    // A query reply.
    const int32_t st = post.status;
    FUZZ_CHECK(st == pre.status || st == NS_BAD_REPLY || st == NS_NO_REPLY || st == NS_MORE ||
                   st == NS_LIST_CLIPPED || st == NS_QUERY_END,
               "query reply left status %d", st);
    FUZZ_CHECK(post.missingCount == pre.missingCount, "query reply wrote missingCount");
    const bool recordSame =
        post.listedCount == pre.listedCount && post.fileCount == pre.fileCount &&
        post.maxFiles == pre.maxFiles && post.totalBytes == pre.totalBytes &&
        post.clusterBytes == pre.clusterBytes && post.freeBytes == pre.freeBytes && sameEntries;
    if (!s.inMask) {
        FUZZ_CHECK(recordSame, "query reply decoded into node %d outside the mask", t);
        return;
    }
    if (recordSame)
        return; // a failed reply (status only), or a list block without entries

    if (s.queryBlock == 0) {
        // Storage information.
        FUZZ_CHECK(sameEntries && post.listedCount == 0,
                   "storage reply kept listedCount %d or wrote entries", post.listedCount);
        FUZZ_CHECK(post.maxFiles >= 0 && post.maxFiles <= 0xFFFF && post.clusterBytes >= 0 &&
                       post.clusterBytes <= 0xFFFF && post.freeBytes >= 0,
                   "storage figures out of range: maxFiles %d cluster %d free %d", post.maxFiles,
                   post.clusterBytes, post.freeBytes);
        FUZZ_CHECK(post.fileCount >= 0 && post.fileCount <= post.maxFiles,
                   "fileCount %d above maxFiles %d", post.fileCount, post.maxFiles);
        if (post.status == NS_LIST_CLIPPED)
            FUZZ_CHECK(post.fileCount == post.maxFiles, "clipped list keeps %d", post.fileCount);
        else
            FUZZ_CHECK(post.status == (post.fileCount != 0 ? NS_MORE : NS_QUERY_END),
                       "storage reply: fileCount %d status %d", post.fileCount, post.status);
        return;
    }

    // A file-list block.
    FUZZ_CHECK(post.totalBytes == pre.totalBytes && post.maxFiles == pre.maxFiles &&
                   post.clusterBytes == pre.clusterBytes && post.freeBytes == pre.freeBytes,
               "list block wrote storage figures");
    // A count that was never valid (below zero) may be taken as 0 first.
    const int64_t added = int64_t(post.listedCount) - pre.listedCount;
    const int64_t addedToZero = pre.listedCount < 0 ? int64_t(post.listedCount) : -1;
    FUZZ_CHECK((added >= 0 && added <= kMaxEntriesPerReply) ||
                   (addedToZero >= 0 && addedToZero <= kMaxEntriesPerReply),
               "listedCount moved from %d to %d in one reply", pre.listedCount, post.listedCount);
    for (int i = 0; i < kMaxEntries; ++i) {
        if (std::memcmp(preEntries[i], r.entries[i], kEntrySize) == 0)
            continue;
        FUZZ_CHECK(i >= pre.listedCount && i < post.listedCount,
                   "entry %d written by a block that listed %d..%d", i, pre.listedCount,
                   post.listedCount - 1);
    }
    if (post.fileCount != pre.fileCount)
        FUZZ_CHECK((post.fileCount == kMaxEntries && post.status == NS_MORE) ||
                       (post.fileCount == post.listedCount && post.status == NS_QUERY_END),
                   "list block set fileCount %d (status %d, listed %d)", post.fileCount,
                   post.status, post.listedCount);
    if (post.status == NS_QUERY_END)
        FUZZ_CHECK(post.listedCount == post.fileCount, "query end with %d of %d listed",
                   post.listedCount, post.fileCount);
}

void CheckChannel(CCommCenter& cc) {
    ChannelState& ch = cc.channels[0];
    FUZZ_CHECK(ch.rxRead.load() < kRingSize && ch.rxWrite.load() < kRingSize, "ring indexes %u/%u",
               ch.rxRead.load(), ch.rxWrite.load());
    FUZZ_CHECK(ch.syncMatch.load() >= 0 && ch.syncMatch.load() < static_cast<int>(kSyncSize),
               "syncMatch %d", ch.syncMatch.load());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Rig& rig = TheRig();
    CCommCenter& cc = *rig.cc;
    ChannelState& ch = cc.channels[0];
    FuzzInput in(data, size);

    const uint8_t flags = in.u8();
    Scene s;
    s.cmd = (flags & 2) ? CMD_SEND_HEAD : ((flags & 1) ? CMD_CHECK_FILE : CMD_QUERY_NODE);
    const int8_t nodeSel = static_cast<int8_t>(in.u8());
    s.node = (nodeSel >= -8 && nodeSel < 40)
                 ? nodeSel
                 : static_cast<int32_t>(static_cast<uint32_t>(nodeSel) * 16777259u);
    s.queryBlock = static_cast<int32_t>(in.u32());
    const int32_t fileCount = static_cast<int32_t>(in.u32());
    const int32_t listedCount = static_cast<int32_t>(in.u32());
    s.packageCount = static_cast<int16_t>(in.u16());
    uint8_t mask[kMaskSize] = {};
    in.take(mask, 4);
    const bool valid = s.node >= 0 && s.node < kMaxNodes;
    s.inMask = valid && !(flags & 4);
    if (valid) {
        if (s.inMask)
            MaskSet(mask, s.node);
        else
            MaskReset(mask, s.node);
    }
    rig.chunk = in.u8();

    rig.stream.clear();
    rig.delivered = 0;
    if (flags & 8) {
        AppendRecipes(in, rig.stream);
    } else {
        size_t n = 0;
        const uint8_t* raw = in.rest(&n);
        rig.stream.assign(raw, raw + (n < kMaxStream ? n : kMaxStream));
    }

    // The scene: one request outstanding, as the transmitters leave it.
    ch.cmdType.store(s.cmd);
    ch.replyNode.store(s.node);
    ch.queryBlock.store(s.queryBlock);
    ch.SetTargetMask(mask);
    ch.syncMatch.store(0);
    for (auto& p : ch.nodePending)
        p.store(1);
    cc.stores[0].packageCount.store(s.packageCount);
    cc.RingReset(0);
    NodeRecord* target = valid ? &cc.nodes[0][s.node] : nullptr;
    if (target)
        Fill(*target, fileCount, listedCount);

    static uint8_t preEntries[kMaxEntries][kEntrySize];
    for (int step = 0; step < kMaxSteps; ++step) {
        rig.Deliver();
        cc.ReaderStep(0);
        if (cc.RingCount(0) == 0 && rig.delivered >= rig.stream.size())
            break; // the reader found the ring empty with room to spare: the port is empty
        Fields pre{};
        if (target) {
            pre = Read(*target);
            std::memcpy(preEntries, target->entries, sizeof preEntries);
        }
        cc.replyGate[0].Reset();
        cc.ParserStep(0);
        const bool parsed = cc.replyGate[0].IsSet();
        FUZZ_CHECK(!parsed || s.cmd == CMD_QUERY_NODE || s.cmd == CMD_CHECK_FILE,
                   "a reply was decoded for command %d", s.cmd);
        CheckChannel(cc);
        if (target) {
            CheckStep(s, *target, pre, Read(*target), preEntries, parsed);
            if (!parsed)
                continue;
            // Its neighbours in memory, where an overrun would land first.
            if (s.node > 0)
                CheckUntouched(cc.nodes[0][s.node - 1], 0, s.node - 1);
            if (s.node + 1 < kMaxNodes)
                CheckUntouched(cc.nodes[0][s.node + 1], 0, s.node + 1);
            else
                CheckUntouched(cc.nodes[1][0], 1, 0);
        }
    }

    // Every other record, both channels; the pending flags of other nodes.
    for (int c = 0; c < kChannels; ++c)
        for (int n = 0; n < kMaxNodes; ++n)
            if (!(c == 0 && n == s.node))
                CheckUntouched(cc.nodes[c][n], c, n);
    for (int n = 0; n < kMaxNodes; ++n)
        FUZZ_CHECK(ch.nodePending[n].load() == 1 || (n == s.node && s.inMask),
                   "nodePending[%d] cleared while node %d was asked", n, s.node);
    FUZZ_CHECK(cc.stores[0].packageCount.load() == s.packageCount, "packageCount changed");

    // Leave nothing behind for the next input.
    for (int i = 0; i < 1 + int(rig.stream.size() / 1024); ++i) {
        cc.ReaderStep(0);
        cc.RingReset(0);
    }
    if (target)
        Fill(*target, Canary().fileCount, Canary().listedCount);
    return 0;
}
