// Fuzzes the station's reply decoder: what was asked and any body that comes back, decoded as a
// pure function (ReplyDecoder), without a centre, a ring or a thread.
//
// Input: a 15-byte preamble that sets what was asked, then the body.
//   [0]      bit 0 check (else query); bit 1 the body's last byte is made its good check byte,
//            so that the decoding goes past the check
//   [1..4]   the block asked, any int32
//   [5..8]   the node's fileCount, any int32
//   [9..12]  the node's listedCount, any int32
//   [13..14] the store's packageCount, int16 (negative and above 2880 included)
//   [15..]   the body (at most what the ring can hold)
//
// Invariants: the status is one the parser may set for the command; a failed or bad reply
// carries nothing else; storage figures are in range and a new query lists from 0; list entries go
// only into the 224 places and come only from inside the body, and the count moves by at most one
// block; the need bitmap lies inside the body and missingCount counts exactly its bits up to the
// package count; the outcome is the same every time for the same input.
#include "FuzzSupport.h"

#include "link/CommandType.h"
#include "link/NodeStatus.h"
#include "link/ReplyDecoder.h"

#include <bit>
#include <cstring>

namespace {

constexpr size_t kMaxBody = 2047; // the ring holds at most this much

bool Inside(const uint8_t* p, size_t n, const uint8_t* body, size_t m) {
    // Before the check byte: the decoded parts never include it.
    return p >= body && n <= m && p + n <= body + (m - 1);
}

// The need bitmap's bits for packages 0..last, counted as all its bits less those above `last`:
// not the decoder's way, so that neither hides the other's slip at a boundary. A word at a time
// (bit b of word w is package 64 w + b), since a loop per bit would cost the fuzzer its speed.
int NeededUpTo(const uint8_t* bitmap, int64_t last) {
    static_assert(kBitmapSize % 8 == 0);
    int all = 0, above = 0;
    for (size_t w = 0; w < kBitmapSize / 8; ++w) {
        uint64_t word = 0;
        for (int b = 0; b < 8; ++b)
            word |= uint64_t(bitmap[8 * w + b]) << (8 * b);
        all += std::popcount(word);
        const int64_t first = 64 * int64_t(w);
        if (last < first)
            above += std::popcount(word);
        else if (last < first + 63)
            above += std::popcount(word >> (last - first + 1));
    }
    return all - above;
}

void CheckOutcome(const ReplyAsk& ask, const uint8_t* body, size_t m, const ReplyOutcome& o) {
    FUZZ_CHECK(ParserMaySet(ask.command, o.status), "command %d, status %d", ask.command, o.status);
    if (o.kind == ReplyOutcome::Failed) {
        FUZZ_CHECK(!o.replied && !o.clearPending && o.entryCount == 0 && !o.bitmap,
                   "a failed reply carries more than its status");
        FUZZ_CHECK(o.status == (ask.command == CMD_QUERY_NODE ? NS_BAD_REPLY : kKeepStatus),
                   "a bad body ends with status %d", o.status);
        return;
    }
    FUZZ_CHECK(o.replied && BodyCheckOk(body, m), "decoded a body whose check fails");
    switch (o.kind) {
    case ReplyOutcome::Storage:
        FUZZ_CHECK(ask.command == CMD_QUERY_NODE && ask.block == 0 && m == kStorageBodySize,
                   "storage figures from block %d, %zu bytes", ask.block, m);
        FUZZ_CHECK(o.listedCount == 0, "a storage reply keeps listedCount %d", o.listedCount);
        FUZZ_CHECK(o.maxFiles >= 0 && o.maxFiles <= 0xFFFF && o.clusterBytes >= 0 &&
                       o.clusterBytes <= 0xFFFF && o.freeBytes >= 0,
                   "figures out of range");
        FUZZ_CHECK(o.fileCount >= 0 && o.fileCount <= o.maxFiles, "fileCount %d above %d",
                   o.fileCount, o.maxFiles);
        FUZZ_CHECK(o.status == NS_LIST_CLIPPED
                       ? o.fileCount == o.maxFiles
                       : o.status == (o.fileCount != 0 ? NS_MORE : NS_QUERY_END),
                   "storage status %d with %d files", o.status, o.fileCount);
        break;
    case ReplyOutcome::List: {
        FUZZ_CHECK(ask.command == CMD_QUERY_NODE && ask.block >= 1 && ask.block <= kMaxListBlock &&
                       body[0] == ask.block && m == 3 + 16u * body[1] &&
                       body[1] <= kEntriesPerBlock,
                   "list block %u of %zu bytes taken for block %d", body[0], m, ask.block);
        FUZZ_CHECK(o.entryCount >= 0 && o.entryCount <= body[1], "%d entries of %u", o.entryCount,
                   body[1]);
        FUZZ_CHECK(o.entryCount == 0 ||
                       (o.firstEntry >= 0 && int64_t(o.firstEntry) + o.entryCount <= kMaxEntries),
                   "entries %d..%d written", o.firstEntry, o.firstEntry + o.entryCount - 1);
        FUZZ_CHECK(o.entryCount == 0 || Inside(o.entryBytes, 16u * o.entryCount, body, m),
                   "entries read from outside the body");
        const int64_t from = ask.listedCount < 0 ? 0 : ask.listedCount;
        const int64_t moved = int64_t(o.listedCount) - from;
        FUZZ_CHECK(moved == body[1] || (moved >= 0 && o.listedCount == INT32_MAX),
                   "listedCount moved from %d to %d with %u entries", ask.listedCount,
                   o.listedCount, body[1]);
        if (o.status == NS_QUERY_END)
            FUZZ_CHECK(o.listedCount == o.fileCount, "query end with %d of %d listed",
                       o.listedCount, o.fileCount);
        else
            FUZZ_CHECK(o.status == NS_MORE, "list status %d", o.status);
        break;
    }
    case ReplyOutcome::Check: {
        FUZZ_CHECK(ask.command == CMD_CHECK_FILE, "check outcome for a query");
        const bool bit4 = body[0] & kCheckNeedPackages;
        FUZZ_CHECK(m == (bit4 ? kFullCheckBodySize : 2u), "check reply of %zu bytes", m);
        FUZZ_CHECK(o.clearPending == (o.status != kKeepStatus), "pending cleared wrongly");
        FUZZ_CHECK((o.bitmap != nullptr) == bit4, "bitmap without bit 4 or none with it");
        int missing = 0;
        if (o.bitmap) {
            FUZZ_CHECK(Inside(o.bitmap, kBitmapSize, body, m), "bitmap outside the body");
            missing = NeededUpTo(o.bitmap, ask.packageCount);
        }
        FUZZ_CHECK(o.missingCount == missing, "missingCount %d, bitmap counts %d", o.missingCount,
                   missing);
        break;
    }
    default:
        FUZZ_CHECK(false, "outcome kind %d", o.kind);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const uint8_t flags = in.u8();
    ReplyAsk ask;
    ask.command = (flags & 1) ? CMD_CHECK_FILE : CMD_QUERY_NODE;
    ask.block = static_cast<int32_t>(in.u32());
    ask.fileCount = static_cast<int32_t>(in.u32());
    ask.listedCount = static_cast<int32_t>(in.u32());
    ask.packageCount = static_cast<int16_t>(in.u16());
    size_t m = 0;
    const uint8_t* rest = in.rest(&m);
    if (m > kMaxBody)
        m = kMaxBody;
    static uint8_t body[kMaxBody];
    std::memcpy(body, rest, m);
    if ((flags & 2) && m > 0)
        body[m - 1] = Crc8(body, m - 1);

    const ReplyOutcome o = DecodeReply(ask, body, m);
    CheckOutcome(ask, body, m, o);
    const ReplyOutcome again = DecodeReply(ask, body, m);
    FUZZ_CHECK(again.status == o.status && again.kind == o.kind &&
                   again.listedCount == o.listedCount && again.missingCount == o.missingCount,
               "the same reply decoded twice differs");
    return 0;
}
