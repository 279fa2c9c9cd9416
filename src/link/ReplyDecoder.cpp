#include "link/ReplyDecoder.h"

#include "link/CommandType.h"
#include "link/NodeStatus.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace {

int32_t Saturate(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

ReplyOutcome Bad(const ReplyAsk& ask) {
    ReplyOutcome o;
    o.status = ask.command == CMD_QUERY_NODE ? NS_BAD_REPLY : kKeepStatus;
    return o;
}

ReplyOutcome DecodeStorage(const uint8_t* body) {
    StorageInfo info;
    DecodeStorageInfo(body, kStorageBodySize, info);
    ReplyOutcome o;
    o.kind = ReplyOutcome::Storage;
    o.replied = true;
    o.totalBytes = info.totalBytes;
    o.clusterBytes = info.clusterBytes;
    o.maxFiles = info.maxFiles;
    // Free units x unit can pass 2^31; the record holds an int32.
    o.freeBytes = Saturate(int64_t(info.freeUnits) * info.clusterBytes);
    // A new list begins: whatever an earlier query listed is not counted again.
    o.listedCount = 0;
    if (info.fileCount > info.maxFiles) {
        o.fileCount = info.maxFiles;
        o.status = NS_LIST_CLIPPED;
    } else {
        o.fileCount = info.fileCount;
        o.status = info.fileCount != 0 ? NS_MORE : NS_QUERY_END;
    }
    return o;
}

ReplyOutcome DecodeList(const ReplyAsk& ask, const uint8_t* body) {
    const int e = body[1];
    ReplyOutcome o;
    o.kind = ReplyOutcome::List;
    o.replied = true;
    // A count that was never valid starts again from 0.
    const int64_t listed = ask.listedCount < 0 ? 0 : ask.listedCount;
    o.firstEntry = Saturate(listed);
    // Only into the 224 places; entries beyond them are ignored.
    const int64_t room = listed < kMaxEntries ? kMaxEntries - listed : 0;
    o.entryCount = static_cast<int32_t>(e < room ? e : room);
    o.entryBytes = body + 2;
    const int32_t total = Saturate(listed + e);
    o.listedCount = total;
    o.fileCount = ask.fileCount;
    if (total == ask.fileCount) {
        o.status = NS_QUERY_END;
    } else if (total > ask.fileCount && ask.block < kMaxListBlock) {
        o.fileCount = kMaxEntries; // more than announced: fetch the remaining blocks
        o.status = NS_MORE;
    } else if (total > ask.fileCount) {
        o.fileCount = total;
        o.status = NS_QUERY_END;
    } else {
        o.status = NS_MORE;
    }
    return o;
}

// Set bits among bits 0..last of the need bitmap (bit k of byte j is package 8 j + k), counted
// eight bytes at a time.
int32_t CountNeeded(const uint8_t* bitmap, int64_t last) {
    if (last < 0)
        return 0;
    const size_t bits = static_cast<size_t>(std::min<int64_t>(last, 8 * kBitmapSize - 1)) + 1;
    int32_t count = 0;
    size_t at = 0;
    for (; at + 64 <= bits; at += 64) {
        uint64_t word;
        std::memcpy(&word, bitmap + at / 8, sizeof word);
        count += std::popcount(word);
    }
    for (; at + 8 <= bits; at += 8)
        count += std::popcount(bitmap[at / 8]);
    if (at < bits)
        count += std::popcount(static_cast<uint8_t>(bitmap[at / 8] & ((1u << (bits - at)) - 1)));
    return count;
}

ReplyOutcome DecodeCheck(const ReplyAsk& ask, const uint8_t* body) {
    const uint8_t s = body[0];
    ReplyOutcome o;
    o.kind = ReplyOutcome::Check;
    o.replied = true;
    // Each test overwrites the one before: the lowest of bits 7..4 decides.
    if (s == 0)
        o.status = NS_FILE_DONE;
    if (s & kCheckNeedHead)
        o.status = NS_NEED_HEAD;
    if (s & kCheckNoRoom)
        o.status = NS_NO_ROOM;
    if (s & kCheckFileNumExceed)
        o.status = NS_FILE_NUM_EXCEED;
    if (s & kCheckNeedPackages) {
        o.status = NS_MORE;
        o.bitmap = body + 1;
        o.missingCount = CountNeeded(o.bitmap, ask.packageCount);
    }
    o.clearPending = o.status != kKeepStatus;
    return o;
}

} // namespace

ReplyOutcome NoReplyOutcome() {
    ReplyOutcome o;
    o.status = NS_NO_REPLY;
    return o;
}

bool ReplyFitsRequest(const ReplyAsk& ask, const uint8_t* body, size_t m) {
    if (ask.command == CMD_CHECK_FILE) {
        if (m < 2)
            return false;
        return (body[0] & kCheckNeedPackages) ? m == kFullCheckBodySize : m == 2;
    }
    if (ask.command != CMD_QUERY_NODE)
        return false;
    if (ask.block == 0)
        return m == kStorageBodySize;
    if (ask.block < 1 || ask.block > kMaxListBlock || m < 3)
        return false;
    return body[0] == ask.block && body[1] <= kEntriesPerBlock && m == 3 + 16u * body[1];
}

ReplyOutcome DecodeReply(const ReplyAsk& ask, const uint8_t* body, size_t m) {
    // The length first: it refuses most bad bodies without a pass over their bytes.
    if (!ReplyFitsRequest(ask, body, m) || !BodyCheckOk(body, m))
        return Bad(ask);
    if (ask.command == CMD_CHECK_FILE)
        return DecodeCheck(ask, body);
    return ask.block == 0 ? DecodeStorage(body) : DecodeList(ask, body);
}

bool ParserMaySet(int32_t command, int32_t status) {
    if (status == kKeepStatus || status == NS_NO_REPLY)
        return true;
    if (command == CMD_CHECK_FILE)
        return status == NS_FILE_DONE || status == NS_NEED_HEAD || status == NS_NO_ROOM ||
               status == NS_FILE_NUM_EXCEED || status == NS_MORE;
    return status == NS_BAD_REPLY || status == NS_MORE || status == NS_LIST_CLIPPED ||
           status == NS_QUERY_END;
}
