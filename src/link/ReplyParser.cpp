// The reply parser: finds a reply's sync in the ring, reads header and body, has the body decoded
// (ReplyDecoder), and applies the outcome to the node that was asked, in one place. A reply is
// credited only while its request is still open and its node still addressed; then the reply gate
// opens so the sender may issue the next request.
#include "link/CommCenter.h"
#include "link/LinkTiming.h"
#include "link/NodeStatus.h"
#include "link/ReplyDecoder.h"

#include <algorithm>
#include <cstring>

namespace {

bool ValidNode(int n) {
    return n >= 0 && n < kMaxNodes;
}

} // namespace

bool StoreStatusUnlessCancelled(NodeRecord& node, int32_t status) {
    // A cancelled node stays cancelled: no late or broken reply may turn it into something else.
    int32_t current = node.status.load();
    do {
        if (current == NS_CANCELLED)
            return false;
    } while (!node.status.compare_exchange_weak(current, status));
    return true;
}

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
    ChannelState& ch = channels[channel];
    for (int i = 0; i < limit; ++i) {
        // Quiet: the reader's last pass brought nothing, and (the reader reading often while a
        // reply is read) nothing came for a poll's time either.
        if (IsRxIdle(channel) && NowMs() - ch.lastRxMs.load() >= kReplyPollMs)
            return;
        if (!Pause(kReplyPollMs))
            return;
    }
}

bool CCommCenter::WaitForBytes(int channel, int want, int polls, int pollMs) {
    if (pauseHook) {
        // Steps driven by hand: time passes only in pauses.
        for (int i = 0; i < polls && RingCount(channel) < want; ++i) {
            if (!Pause(pollMs))
                break;
        }
        return RingCount(channel) >= want;
    }
    // The same bound, but the reader's wake ends the wait as soon as the bytes are in.
    ChannelState& ch = channels[channel];
    const int64_t deadline = NowMs() + static_cast<int64_t>(polls) * pollMs;
    uint64_t seen = ch.rxWake.Seen();
    while (RingCount(channel) < want) {
        const int64_t now = NowMs();
        if (now >= deadline || linkRun.load() != 1 || stop_.Stopped())
            return false;
        ch.rxWake.WaitFor(static_cast<int>(std::min<int64_t>(deadline - now, kReplyPollMs)), seen);
    }
    return true;
}

int CCommCenter::ReadReply(int channel, bool isQuery, uint8_t* body) {
    const int drainLimit = isQuery ? kQueryDrainPolls : kCheckDrainPolls;
    if (RingCount(channel) < 3)
        WaitForBytes(channel, 3, 1, kReplyHeaderWaitMs);
    uint8_t header[kReplyHeaderSize];
    if (RingRead(channel, header, 3) < 3) {
        Drain(channel, drainLimit);
        return -1;
    }
    const int m = header[0] + 256 * header[1];
    if (Crc8(header, 2) != header[2]) {
        if (!isQuery)
            Drain(channel, kCheckDrainPolls);
        return -1;
    }
    // A body longer than the ring can hold never completes and ends here too.
    if (!WaitForBytes(channel, m, kBodyWaitPolls, kReplyPollMs)) {
        Drain(channel, kCheckDrainPolls);
        return -1;
    }
    RingRead(channel, body, m);
    return m;
}

void CCommCenter::ApplyOutcome(int channel, int node, int command, uint32_t request,
                               const ReplyOutcome& o) {
    ChannelState& ch = channels[channel];
    // Only the reply to the request still open is credited; one that comes after the sender gave
    // up on it belongs to nobody.
    uint32_t open = request;
    if (request == 0 || !ch.openRequest.compare_exchange_strong(open, 0))
        return;
    (o.kind == ReplyOutcome::Failed ? ch.repliesBad : ch.repliesOk)
        .fetch_add(1, std::memory_order_relaxed);
    uint8_t mask[kMaskSize];
    ch.GetTargetMask(mask);
    // A node taken out of the command meanwhile (cancel) keeps what it has, failures included.
    if (ValidNode(node) && MaskTest(mask, node) && nodes[channel][node].status != NS_CANCELLED) {
        NodeRecord& rec = nodes[channel][node];
        switch (o.kind) {
        case ReplyOutcome::Failed:
            break;
        case ReplyOutcome::Storage:
            rec.totalBytes.store(o.totalBytes);
            rec.clusterBytes.store(o.clusterBytes);
            rec.maxFiles.store(o.maxFiles);
            rec.freeBytes.store(o.freeBytes);
            rec.listedCount.store(o.listedCount);
            rec.fileCount.store(o.fileCount);
            break;
        case ReplyOutcome::List: {
            std::lock_guard lock(rec.entriesLock);
            for (int j = 0; j < o.entryCount; ++j) {
                const int at = o.firstEntry + j;
                if (at < 0 || at >= kMaxEntries)
                    break;
                std::memcpy(rec.entries[at], o.entryBytes + 16 * j, kNameFieldSize);
                std::memcpy(rec.entries[at] + 13, o.entryBytes + 16 * j + 12, 4);
            }
            rec.listedCount.store(o.listedCount);
            rec.fileCount.store(o.fileCount);
            rec.listChanges.fetch_add(1);
            break;
        }
        case ReplyOutcome::Check:
            if (o.bitmap) {
                for (size_t j = 0; j < kBitmapSize; ++j)
                    for (int k = 0; k < 8; ++k)
                        rec.needPackage[8 * j + k].store((o.bitmap[j] >> k) & 1,
                                                         std::memory_order_relaxed);
            }
            break;
        }
        if (command == CMD_CHECK_FILE)
            rec.missingCount.store(o.missingCount);
        if (o.replied)
            rec.replied.store(1);
        if (o.status != kKeepStatus)
            StoreStatusUnlessCancelled(rec, o.status);
        if (o.clearPending)
            ch.nodePending[node].store(0);
    }
    replyGate[channel].Set();
}

void CCommCenter::TimeReply(int channel, uint32_t request, int64_t firstByteMs) {
    ChannelState& ch = channels[channel];
    if (request != 0) {
        // The reply to the request under way (credited or not, it came when it came).
        LearnReplyDelay(channel, ch.askNode.load(), double(firstByteMs - ch.askEndMs.load()));
        return;
    }
    // No request was open: the late reply of one given up. It is credited to nobody, but it
    // tells how late that node answers, and nothing more is awaited from it.
    const int late = ch.lateNode.load();
    if (late < 0)
        return;
    LearnReplyDelay(channel, late, double(firstByteMs - ch.lateEndMs.load()));
    ch.listenUntilMs.store(0);
    ch.lateNode.store(-1);
}

void CCommCenter::ParseReply(int channel, int command, int64_t syncMs, int heldAtSync) {
    ChannelState& ch = channels[channel];
    ch.replyInProgress.store(1);
    ch.readerWake.Notify(); // read often while the reply comes in
    const uint32_t request = ch.openRequest.load();
    const int node = ch.replyNode.load();
    uint8_t body[kRingSize];
    const int m = ReadReply(channel, command == CMD_QUERY_NODE, body);
    ReplyOutcome outcome;
    if (m < 0) {
        outcome = NoReplyOutcome();
    } else {
        // The bytes that had come with the sync arrived over their line time: the first of them
        // (the reply's first byte) that long before the sync was seen.
        const int held = std::min(heldAtSync, static_cast<int>(kReplyHeaderSize) + m);
        TimeReply(channel, request,
                  syncMs - LineMs(ch.baud.load(), static_cast<int64_t>(kSyncSize) + held));
        ReplyAsk ask;
        ask.command = command;
        ask.block = ch.queryBlock.load();
        ask.packageCount = stores[channel].packageCount.load();
        if (ValidNode(node)) {
            ask.fileCount = nodes[channel][node].fileCount.load();
            ask.listedCount = nodes[channel][node].listedCount.load();
        }
        outcome = DecodeReply(ask, body, static_cast<size_t>(m));
    }
    ApplyOutcome(channel, node, command, request, outcome);
    ch.replyInProgress.store(0);
}

void CCommCenter::ParseQueryReply(int channel) {
    ParseReply(channel, CMD_QUERY_NODE, NowMs(), RingCount(channel));
}

void CCommCenter::ParseCheckReply(int channel) {
    ParseReply(channel, CMD_CHECK_FILE, NowMs(), RingCount(channel));
}

void CCommCenter::ParserStep(int channel) {
    ChannelState& ch = channels[channel];
    if (ch.portOpen.load() != 1 || !FindSync(channel))
        return;
    const int64_t syncMs = NowMs();
    const int held = RingCount(channel);
    const int type = ch.cmdType.load(std::memory_order_acquire);
    if (type == CMD_QUERY_NODE || type == CMD_CHECK_FILE)
        ParseReply(channel, type, syncMs, held);
    else if (ch.lateNode.load() >= 0)
        // The command that asked has ended: a late reply is read all the same, to be timed.
        ParseReply(channel, ch.lateCommand.load(), syncMs, held);
    // Any other bytes: the sync is consumed; the next ring reset discards the rest.
}
