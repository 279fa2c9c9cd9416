// The reply parser: finds a reply's sync in the ring, decodes it into the record of the node that
// was asked, and opens the reply gate so the sender may issue the next request.
#include "link/CommCenter.h"
#include "link/LinkTiming.h"
#include "link/NodeStatus.h"

#include <cstring>
#include <limits>

namespace {

bool ValidNode(int n) {
    return n >= 0 && n < kMaxNodes;
}

} // namespace

bool CCommCenter::FindSync(int channel) {
    ChannelState& ch = channels[channel];
    int match = ch.syncMatch.load(std::memory_order_relaxed);
    const int n = RingCount(channel);
    for (int i = 0; i < n; ++i) {
        uint8_t b;
        if (RingRead(channel, &b, 1) != 1)
            break;
        if (b == kSyncPattern[match]) {
            if (++match == static_cast<int>(kSyncSize)) {
                ch.syncMatch.store(0, std::memory_order_relaxed);
                return true;
            }
        } else {
            // The mismatching byte is not tried again as a first sync byte.
            match = 0;
        }
    }
    ch.syncMatch.store(match, std::memory_order_relaxed);
    return false;
}

void CCommCenter::Drain(int channel, int limit) {
    for (int i = 0; i < limit; ++i) {
        if (IsRxIdle(channel))
            return;
        if (!Pause(kReplyPollMs))
            return;
    }
}

int CCommCenter::ReadReply(int channel, bool isQuery, uint8_t* body) {
    ChannelState& ch = channels[channel];
    const int node = ch.replyNode.load();
    auto setStatus = [&](int s) {
        if (ValidNode(node))
            nodes[channel][node].status.store(s);
    };
    const int drainLimit = isQuery ? kQueryDrainPolls : kCheckDrainPolls;

    if (RingCount(channel) < 3)
        Pause(kReplyHeaderWaitMs);
    uint8_t header[kReplyHeaderSize];
    if (RingRead(channel, header, 3) < 3) {
        Drain(channel, drainLimit);
        setStatus(NS_NO_REPLY);
        return -1;
    }
    const int m = header[0] + 256 * header[1];
    if (Crc8(header, 2) != header[2]) {
        if (!isQuery)
            Drain(channel, kCheckDrainPolls);
        setStatus(NS_NO_REPLY);
        return -1;
    }
    int polls = 0;
    while (RingCount(channel) < m && polls < kBodyWaitPolls) {
        if (!Pause(kReplyPollMs))
            break;
        ++polls;
    }
    // A body longer than the ring can hold never completes and ends here too.
    if (RingCount(channel) < m) {
        Drain(channel, kCheckDrainPolls);
        setStatus(NS_NO_REPLY);
        return -1;
    }
    RingRead(channel, body, m);
    // An empty body has no check byte at all: it cannot be a good reply.
    if (m == 0 || !BodyCheckOk(body, static_cast<size_t>(m))) {
        if (isQuery)
            setStatus(NS_BAD_REPLY);
        return -1;
    }
    if (ValidNode(node))
        nodes[channel][node].replied.store(1);
    return m;
}

void CCommCenter::ParseQueryReply(int channel) {
    ChannelState& ch = channels[channel];
    uint8_t body[kRingSize];
    const int node = ch.replyNode.load();
    const int m = ReadReply(channel, true, body);
    // A reply for a node that the command no longer addresses (cancelled meanwhile) is dropped.
    uint8_t mask[kMaskSize];
    ch.GetTargetMask(mask);
    if (m >= 0 && ValidNode(node) && MaskTest(mask, node)) {
        NodeRecord& rec = nodes[channel][node];
        const int block = ch.queryBlock.load();
        if (block == 0) {
            StorageInfo info;
            if (!DecodeStorageInfo(body, static_cast<size_t>(m), info)) {
                rec.status.store(NS_BAD_REPLY); // too short to hold the figures
            } else {
                rec.totalBytes.store(info.totalBytes);
                rec.clusterBytes.store(info.clusterBytes);
                rec.maxFiles.store(info.maxFiles);
                // Free units × unit can pass 2^31; the record holds an int32.
                const int64_t freeBytes = int64_t(info.freeUnits) * info.clusterBytes;
                rec.freeBytes.store(freeBytes > std::numeric_limits<int32_t>::max()
                                        ? std::numeric_limits<int32_t>::max()
                                        : static_cast<int32_t>(freeBytes));
                rec.listedCount.store(0);
                if (info.fileCount > info.maxFiles) {
                    rec.fileCount.store(info.maxFiles);
                    rec.status.store(NS_LIST_CLIPPED);
                } else {
                    rec.fileCount.store(info.fileCount);
                    rec.status.store(info.fileCount != 0 ? NS_MORE : NS_QUERY_END);
                }
            }
        } else {
            ListBlock lb;
            if (!DecodeListBlock(body, static_cast<size_t>(m), lb)) {
                rec.status.store(NS_BAD_REPLY);
            } else {
                // A node may announce any count; keep the sums clear of overflow.
                int64_t listed = rec.listedCount.load();
                if (listed < 0)
                    listed = 0;
                // Only entries that arrived whole are taken, and only into the 224 places.
                const int e = lb.available;
                {
                    std::lock_guard lock(rec.entriesLock);
                    for (int j = 0; j < e; ++j) {
                        const int64_t at = listed + j;
                        if (at >= kMaxEntries)
                            break;
                        std::memcpy(rec.entries[at], lb.first + 16 * j, kNameFieldSize);
                        std::memcpy(rec.entries[at] + 13, lb.first + 16 * j + 12, 4);
                    }
                }
                const int64_t sum = listed + e;
                const int total = sum > std::numeric_limits<int32_t>::max()
                                      ? std::numeric_limits<int32_t>::max()
                                      : static_cast<int32_t>(sum);
                rec.listedCount.store(total);
                const int files = rec.fileCount.load();
                if (total == files) {
                    rec.status.store(NS_QUERY_END);
                } else if (total > files && lb.block < kMaxListBlock) {
                    rec.fileCount.store(kMaxEntries);
                    rec.status.store(NS_MORE);
                } else if (total > files && lb.block == kMaxListBlock) {
                    rec.fileCount.store(total);
                    rec.status.store(NS_QUERY_END);
                } else {
                    rec.status.store(NS_MORE);
                }
            }
        }
    }
    replyGate[channel].Set();
}

void CCommCenter::ParseCheckReply(int channel) {
    ChannelState& ch = channels[channel];
    const int node = ch.replyNode.load();
    if (ValidNode(node))
        nodes[channel][node].missingCount.store(0);
    uint8_t body[kRingSize];
    const int m = ReadReply(channel, false, body);
    uint8_t mask[kMaskSize];
    ch.GetTargetMask(mask);
    if (m >= 0 && ValidNode(node) && MaskTest(mask, node)) {
        NodeRecord& rec = nodes[channel][node];
        const uint8_t s = body[0];
        bool applied = false;
        int status = rec.status.load();
        if (s == 0) {
            status = NS_FILE_DONE;
            applied = true;
        }
        if (s & kCheckNeedHead) {
            status = NS_NEED_HEAD;
            applied = true;
        }
        if (s & kCheckNoRoom) {
            status = NS_NO_ROOM;
            applied = true;
        }
        if (s & kCheckFileNumExceed) {
            status = NS_FILE_NUM_EXCEED;
            applied = true;
        }
        if (s & kCheckNeedPackages) {
            status = NS_MORE;
            applied = true;
            // Bitmap bytes that did not arrive count as "needed": a short reply may cost a resend
            // but never a package.
            const int bitmapBytes = m - 2; // status byte and check byte around it
            const int limit = stores[channel].packageCount.load();
            int missing = 0;
            for (int j = 0; j < static_cast<int>(kBitmapSize); ++j) {
                const uint8_t byte = j < bitmapBytes ? body[1 + j] : 0xFF;
                for (int k = 0; k < 8; ++k) {
                    const int pkg = 8 * j + k;
                    const int bit = (byte >> k) & 1;
                    rec.needPackage[pkg].store(bit, std::memory_order_relaxed);
                    if (bit && pkg <= limit)
                        ++missing;
                }
            }
            rec.missingCount.store(missing);
        }
        if (applied) {
            rec.status.store(status);
            ch.nodePending[node].store(0);
        }
    }
    replyGate[channel].Set();
}

void CCommCenter::ParserStep(int channel) {
    ChannelState& ch = channels[channel];
    if (ch.portOpen.load() != 1 || !FindSync(channel))
        return;
    const int type = ch.cmdType.load(std::memory_order_acquire);
    if (type == CMD_QUERY_NODE)
        ParseQueryReply(channel);
    else if (type == CMD_CHECK_FILE)
        ParseCheckReply(channel);
    // Any other command: the sync is consumed; the next ring reset discards the rest.
}
