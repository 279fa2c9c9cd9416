// The sender thread's transmitters: one per command type. Each builds its request in txFrame,
// sends it, paces itself and hands the channel back by setting cmdType to CMD_IDLE.
#include "link/CommCenter.h"
#include "link/LinkTiming.h"
#include "link/NodeStatus.h"

#include <algorithm>

// Sizes on the line of the requests that await a reply and of the longest reply each can bring.
constexpr int kQueryRequestBytes = kSyncSize + 14;
constexpr int kCheckRequestBytes = kSyncSize + 17;
constexpr int kStorageReplyBytes = kSyncSize + kReplyHeaderSize + kStorageBodySize;
constexpr int kListReplyBytes = kSyncSize + kReplyHeaderSize + 3 + 16 * kEntriesPerBlock;
constexpr int kCheckReplyBytes = kSyncSize + kReplyHeaderSize + kFullCheckBodySize;

namespace {

void Counted(ChannelState& ch, RequestKind kind) {
    ch.requestsSent[kind].fetch_add(1, std::memory_order_relaxed);
}

} // namespace

const char* RequestKindName(int kind) {
    static const char* const kNames[kRequestKinds] = {"query", "head",   "package",
                                                      "check", "delete", "clear"};
    return kind >= 0 && kind < kRequestKinds ? kNames[kind] : "";
}

uint32_t CCommCenter::OpenRequest(int channel) {
    ChannelState& ch = channels[channel];
    uint32_t seq = ch.requestSeq.fetch_add(1) + 1;
    if (seq == 0)
        seq = ch.requestSeq.fetch_add(1) + 1; // 0 means "none"
    replyGate[channel].Reset();
    // The node asked: the transmitters point replyNode at it before they send.
    ch.askNode.store(ch.replyNode.load());
    ch.askEndMs.store(NowMs()); // until RequestSent knows when the request leaves the line
    ch.openRequest.store(seq);
    ch.requestSentMs.store(NowMs());
    ch.replyWaitMs.store(kGateGiveUpMs);
    ch.readerWake.Notify(); // read often from now on
    return seq;
}

void CCommCenter::RequestSent(int channel, int requestBytes, int longestReplyBytes) {
    ChannelState& ch = channels[channel];
    const uint32_t baud = ch.baud.load();
    const int requestLine = LineMs(baud, requestBytes);
    const int replyLine = LineMs(baud, longestReplyBytes);
    // The wait counts from when the request goes out on the line. A port that took the packages
    // before it at once (a pseudo-terminal, an adapter's buffer) sends it seconds later, and no
    // node can answer sooner: counted from now, the check after a file's packages would be given
    // up before it had left, and its reply would come into the next request's window.
    const int64_t start = std::max(NowMs(), ch.lineFreeAtMs - requestLine);
    const ReplyTimer timer = ReplyTimerOf(channel, ch.askNode.load());
    int wait = LearnedWaitMs(timer, ReplyWaitMs(baud, requestBytes, longestReplyBytes), requestLine,
                             replyLine);
    // Another node's late reply may still come (AwaitQuietLine let this node through because it
    // answers within a few milliseconds): only a reply where this node itself answers is taken.
    if (ch.lateNode.load() >= 0 && start < ch.lateHorizonMs.load())
        wait = std::min(wait, GuardedWaitMs(timer, requestLine, replyLine));
    askRequestLineMs_[channel] = requestLine;
    askReplyLineMs_[channel] = replyLine;
    ch.replyWaitMs.store(wait);
    ch.askEndMs.store(start + requestLine);
    ch.requestSentMs.store(start);
}

void CCommCenter::AwaitReply(int channel) {
    ChannelState& ch = channels[channel];
    const uint32_t seq = ch.openRequest.load();
    if (seq == 0)
        return; // nothing is awaited
    const int64_t sent = ch.requestSentMs.load();
    const int64_t due = sent + ch.replyWaitMs.load();
    // A reply shows that the request, and everything before it, has left the line: the line is
    // free now, whatever the reckoning of its time said (a peer may take bytes faster).
    auto answered = [&] { ch.lineFreeAtMs = std::min(ch.lineFreeAtMs, NowMs()); };
    for (;;) {
        if (linkRun.load() != 1 || ch.lineLost.load())
            return;
        if (replyGate[channel].IsSet()) {
            answered();
            return;
        }
        const int64_t now = NowMs();
        if (now >= due) {
            // A reply that has begun to arrive is read to its end, within the parser's bounds.
            const bool arriving = ch.replyInProgress.load() != 0 || RingCount(channel) > 0;
            if (!arriving || now >= due + kReplyReadBoundMs)
                break;
        }
        const int64_t slice = now < due ? due - now : kReplyPollMs;
        if (pauseHook) {
            if (!Pause(static_cast<int>(slice < kReplyPollMs ? slice : kReplyPollMs)))
                return;
        } else {
            replyGate[channel].Wait(static_cast<int>(slice < kReplyPollMs ? slice : kReplyPollMs));
        }
    }
    uint32_t open = seq;
    if (ch.openRequest.compare_exchange_strong(open, 0)) {
        // Given up. Its reply may still come: until it can no longer, it is looked for (and timed,
        // to widen the node's wait), and the next request leaves only once it cannot be taken for
        // that request's answer (AwaitQuietLine).
        ch.repliesTimedOut.fetch_add(1, std::memory_order_relaxed);
        const int node = ch.askNode.load();
        const LateReplyTimes late =
            AfterGiveUp(ReplyTimerOf(channel, node), ch.replyWaitMs.load(),
                        askRequestLineMs_[channel], askReplyLineMs_[channel]);
        ch.quietAfterMs.store(sent + late.graceEndMs);
        ch.listenUntilMs.store(sent + late.horizonMs);
        ch.lateCommand.store(ch.cmdType.load());
        ch.lateEndMs.store(ch.askEndMs.load());
        ch.lateHorizonMs.store(sent + late.horizonMs);
        ch.lateNode.store(node); // last: the parser reads the others once it sees the node
        replyGate[channel].Set();
    } else {
        replyGate[channel].Wait(kReplyReadBoundMs); // the parser has it and is applying it
        answered();
    }
}

bool CCommCenter::AwaitQuietLine(int channel, int node) {
    ChannelState& ch = channels[channel];
    int64_t after = ch.quietAfterMs.load(); // the grace after a give-up; 0: none
    if (ch.lateNode.load() >= 0) {
        const int64_t horizon = ch.lateHorizonMs.load();
        if (NowMs() >= horizon) {
            ch.lateNode.store(-1); // no late reply can come any more
        } else if (!AskableWhileGuarded(ReplyTimerOf(channel, node))) {
            // A late reply may still come, and this node's answer could not be told from it:
            // the node is asked once the late reply is in, or can no longer come.
            after = std::max(after, horizon);
        }
    }
    if (after == 0)
        return true;
    const int64_t limit = after + kBabbleLimitMs;
    for (;;) {
        if (linkRun.load() != 1 || ch.lineLost.load())
            return false;
        const int64_t now = NowMs();
        // The late reply has come (the parser has read it): nothing more is awaited.
        const bool graceOver = now >= after || ch.lateNode.load() < 0;
        if (graceOver && now - ch.lastRxMs.load() >= kQuietMs)
            break;
        if (now >= limit)
            break; // a node that babbles is skipped, not waited for
        if (!Pause(kQuietPollMs))
            return false;
    }
    ch.quietAfterMs.store(0);
    return true;
}

void CCommCenter::AbandonCommand(int channel) {
    ChannelState& ch = channels[channel];
    const int type = ch.cmdType.load(std::memory_order_acquire);
    if (type == CMD_IDLE || type == CMD_PREPARING)
        return;
    uint8_t mask[kMaskSize];
    ch.GetTargetMask(mask);
    const int count = ch.nodeCount.load();
    for (int n = 0; n < count && n < kMaxNodes; ++n) {
        // A node that has already answered this command keeps its answer; the others, and every
        // node of a broadcast that may not have gone out whole, show the loss.
        const int status = nodes[channel][n].status.load();
        const bool asked = type == CMD_CHECK_FILE || type == CMD_QUERY_NODE;
        const bool open = (ch.nodePending[n].load() != 0 || status == NS_REQUEST_SENT ||
                           (type == CMD_QUERY_NODE && status == NS_MORE)) &&
                          !(type == CMD_QUERY_NODE && status == NS_QUERY_END);
        if (MaskTest(mask, n) && (!asked || open))
            StoreStatusUnlessCancelled(nodes[channel][n], NS_LINE_LOST);
        ch.nodePending[n].store(0);
    }
    ch.openRequest.store(0);
    // Nothing more comes from the failed port; the ring starts afresh once it is back.
    ch.lateNode.store(-1);
    ch.quietAfterMs.store(0);
    ch.listenUntilMs.store(0);
    replyGate[channel].Set();
    ch.lineFreeAtMs = 0; // what the failed port still held is gone with it
    ch.progressBusy.store(0);
    ch.cmdType.store(CMD_IDLE, std::memory_order_release);
    schedulerWake.Notify();
}

void CCommCenter::SenderStep(int channel) {
    ChannelState& ch = channels[channel];
    if (ch.portOpen.load() == 0)
        return;
    // Announce activity before looking at the command (both sequentially consistent, paired with
    // ChannelIdle): the scheduler never starts a new command while a transmitter still runs.
    ch.senderActive.store(1);
    if (ch.lineLost.load()) {
        AbandonCommand(channel);
        ch.senderActive.store(0);
        return;
    }
    switch (ch.cmdType.load()) {
    case CMD_QUERY_NODE:
        AwaitReply(channel);
        TransmitQuery(channel);
        break;
    case CMD_SEND_HEAD:
        TransmitHead(channel);
        break;
    case CMD_SEND_PACKAGES:
        TransmitPackages(channel);
        break;
    case CMD_CHECK_FILE:
        AwaitReply(channel);
        Pause(kCheckGapMs);
        TransmitCheck(channel);
        break;
    case CMD_DELETE_FILES:
        TransmitDelete(channel);
        break;
    case CMD_CLEAR_NODE:
        TransmitClear(channel);
        break;
    default:
        break; // idle, or the task layer is preparing a command
    }
    ch.senderActive.store(0);
}

void CCommCenter::SetIdle(int channel) {
    channels[channel].cmdType.store(CMD_IDLE, std::memory_order_release);
    schedulerWake.Notify(); // the scheduler takes the results up at once
}

void CCommCenter::TransmitQuery(int channel) {
    ChannelState& ch = channels[channel];
    if (!replyGate[channel].Wait(kGateProbeMs))
        return; // a reply is still awaited; the next pass tries again
    const int block = ch.queryBlock.load() + 1;
    if (block > kMaxListBlock) {
        Pause(kQueryEndMs);
        SetIdle(channel);
        return;
    }
    const int node = ch.requestNode.load();
    if (node < 0 || node >= kMaxNodes || nodes[channel][node].status.load() != NS_MORE) {
        Pause(kQueryEndMs);
        SetIdle(channel);
        return;
    }
    if (!AwaitQuietLine(channel, node))
        return;
    // Only a node still waiting for its next block is asked (not one cancelled meanwhile).
    int expected = NS_MORE;
    if (!nodes[channel][node].status.compare_exchange_strong(expected, NS_REQUEST_SENT)) {
        Pause(kQueryEndMs);
        SetIdle(channel);
        return;
    }
    ch.queryBlock.store(block);
    nodes[channel][node].replied.store(0);
    uint8_t mask[kMaskSize];
    ch.GetTargetMask(mask);
    BuildQueryRequest(ch.txFrame + kSyncSize, mask, static_cast<uint8_t>(block));
    RingReset(channel);
    // Opened before the request leaves, so a reply decoded at once can never be shut out.
    OpenRequest(channel);
    if (SendFrame(channel, 14)) {
        Counted(ch, kRequestQuery);
        RequestSent(channel, kQueryRequestBytes, block == 0 ? kStorageReplyBytes : kListReplyBytes);
    }
}

void CCommCenter::TransmitHead(int channel) {
    ChannelState& ch = channels[channel];
    uint8_t mask[kMaskSize];
    ch.GetTargetMask(mask);
    BuildDataRequest(ch.txFrame + kSyncSize, mask, stores[channel].packagePtr[0], kHeadSize);
    if (!SendFrame(channel, kRequestHeaderSize + kHeadSize))
        return; // the line is lost: the next pass ends the command
    Counted(ch, kRequestHead);
    Pause(kAfterHeadMs);
    SetIdle(channel);
}

int CCommCenter::PackageNeeded(int channel, int package, uint8_t mask[kMaskSize]) {
    ChannelState& ch = channels[channel];
    uint8_t target[kMaskSize];
    ch.GetTargetMask(target);
    if (MaskEmpty(target))
        return -1;
    MaskClear(mask);
    if (package < 0 || package >= kMaxPackages)
        return 0;
    bool any = false;
    for (int n = 0; n < kMaxNodes; ++n) {
        if (MaskTest(target, n) &&
            nodes[channel][n].needPackage[package].load(std::memory_order_relaxed) != 0) {
            MaskSet(mask, n);
            any = true;
        }
    }
    return any ? 1 : 0;
}

void CCommCenter::TransmitPackages(int channel) {
    ChannelState& ch = channels[channel];
    PackageStore& store = stores[channel];
    const int count = store.packageCount.load();
    uint8_t mask[kMaskSize];
    for (int i = 1; i <= count && i < kMaxPackages; ++i) {
        const int needed = PackageNeeded(channel, i, mask);
        if (needed < 0) {
            ch.progressBusy.store(0);
            SetIdle(channel);
            return;
        }
        if (needed == 0)
            continue;
        BuildDataRequest(ch.txFrame + kSyncSize, mask, store.packagePtr[i], kPackageSize);
        // The whole frame has left before the pause counts.
        if (!SendFrame(channel, kRequestHeaderSize + kPackageSize, false) || !WaitSent(channel))
            return; // the line is lost: the next pass ends the command
        Counted(ch, kRequestPackage);
        if (!Pause(ch.packageDelayMs.load()))
            return; // the centre is stopping
        ch.progressDone.fetch_add(1);
        if (!ch.sentOnce[i]) {
            ch.sentOnce[i] = 1;
            ch.freshPackages.fetch_add(1);
        }
    }
    ch.progressBusy.store(0);
    SetIdle(channel);
}

void CCommCenter::TransmitCheck(int channel) {
    ChannelState& ch = channels[channel];
    if (!replyGate[channel].Wait(kGateProbeMs))
        return;
    const int count = ch.nodeCount.load();
    {
        // The quiet wait comes first, for the node that will be asked next, as before any node
        // is passed: a pass that gives up here comes back to the same node.
        uint8_t target[kMaskSize];
        ch.GetTargetMask(target);
        int next = ch.replyNode.load() + 1;
        while (next >= 0 && next < count &&
               !(ch.nodePending[next].load() && MaskTest(target, next)))
            ++next;
        if (next >= 0 && next < count && !AwaitQuietLine(channel, next))
            return;
    }
    for (int i = ch.replyNode.load() + 1; i >= 0 && i < count; ++i) {
        ch.progressDone.fetch_add(1);
        if (!Pause(kCheckNodeMs))
            return;
        ch.replyNode.store(i);
        nodes[channel][i].replied.store(0);
        uint8_t target[kMaskSize];
        ch.GetTargetMask(target);
        // A node taken out of the command (cancel) is not asked, even if still marked pending.
        if (ch.nodePending[i].load() && MaskTest(target, i) &&
            StoreStatusUnlessCancelled(nodes[channel][i], NS_REQUEST_SENT)) {
            ch.nodePending[i].store(0);
            uint8_t mask[kMaskSize] = {};
            MaskSet(mask, i);
            BuildCheckRequest(ch.txFrame + kSyncSize, mask, ch.command.fileTag);
            RingReset(channel);
            OpenRequest(channel);
            if (SendFrame(channel, 17)) {
                Counted(ch, kRequestCheck);
                RequestSent(channel, kCheckRequestBytes, kCheckReplyBytes);
            }
            return;
        }
        ch.nodePending[i].store(0);
    }
    ch.progressBusy.store(0);
    SetIdle(channel);
}

int CCommCenter::CollectNames(const std::vector<std::string>& names, int batch, uint8_t* dst) {
    const size_t first = static_cast<size_t>(batch) * kMaxDeleteNames;
    int n = 0;
    for (size_t i = first; i < names.size() && n < kMaxDeleteNames; ++i) {
        const std::string& name = names[i];
        if (!WriteDeleteName(dst + kNameFieldSize * n, name.data(), name.size()))
            return 0; // an empty or over-long name ends the whole delete
        ++n;
    }
    return n;
}

void CCommCenter::TransmitDelete(int channel) {
    ChannelState& ch = channels[channel];
    uint8_t mask[kMaskSize];
    ch.GetTargetMask(mask);
    uint8_t names[kMaxDeleteNames * kNameFieldSize];
    for (int batch = 0;; ++batch) {
        const int n = CollectNames(ch.command.files, batch, names);
        if (n < 1 || n > kMaxDeleteNames)
            break;
        const size_t length = BuildDeleteRequest(ch.txFrame + kSyncSize, mask, names, n);
        if (!SendFrame(channel, length))
            return; // the line is lost: the next pass ends the command
        Counted(ch, kRequestDelete);
        if (!Pause(DeletePauseMs(n)))
            return;
    }
    SetIdle(channel);
}

void CCommCenter::TransmitClear(int channel) {
    ChannelState& ch = channels[channel];
    uint8_t mask[kMaskSize];
    ch.GetTargetMask(mask);
    BuildClearRequest(ch.txFrame + kSyncSize, mask);
    if (!SendFrame(channel, kRequestHeaderSize))
        return; // the line is lost: the next pass ends the command
    Counted(ch, kRequestClear);
    Pause(kAfterClearMs);
    SetIdle(channel);
}
