// The sender thread's transmitters: one per command type. Each builds its request in txFrame,
// sends it, paces itself and hands the channel back by setting cmdType to CMD_IDLE.
#include "link/CommCenter.h"
#include "link/LinkTiming.h"
#include "link/NodeStatus.h"

void CCommCenter::SenderStep(int channel) {
    ChannelState& ch = channels[channel];
    if (ch.portOpen.load() == 0)
        return;
    // Announce activity before looking at the command (both sequentially consistent, paired with
    // ChannelIdle): the scheduler never starts a new command while a transmitter still runs.
    ch.senderActive.store(1);
    switch (ch.cmdType.load()) {
    case CMD_QUERY_NODE:
        if (!replyGate[channel].Wait(kGateGiveUpMs))
            replyGate[channel].Set(); // the reply is given up
        TransmitQuery(channel);
        break;
    case CMD_SEND_HEAD:
        TransmitHead(channel);
        break;
    case CMD_SEND_PACKAGES:
        TransmitPackages(channel);
        break;
    case CMD_CHECK_FILE:
        if (!replyGate[channel].Wait(kGateGiveUpMs))
            replyGate[channel].Set();
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

static void SetIdle(ChannelState& ch) {
    ch.cmdType.store(CMD_IDLE, std::memory_order_release);
}

void CCommCenter::TransmitQuery(int channel) {
    ChannelState& ch = channels[channel];
    if (!replyGate[channel].Wait(kGateProbeMs))
        return; // a reply is still awaited; the next pass tries again
    const int block = ch.queryBlock.load() + 1;
    if (block > kMaxListBlock) {
        Pause(kQueryEndMs);
        SetIdle(ch);
        return;
    }
    const int node = ch.requestNode.load();
    if (node < 0 || node >= kMaxNodes || nodes[channel][node].status.load() != NS_MORE) {
        Pause(kQueryEndMs);
        SetIdle(ch);
        return;
    }
    ch.queryBlock.store(block);
    nodes[channel][node].replied.store(0);
    nodes[channel][node].status.store(NS_REQUEST_SENT);
    uint8_t mask[kMaskSize];
    ch.GetTargetMask(mask);
    BuildQueryRequest(ch.txFrame + kSyncSize, mask, static_cast<uint8_t>(block));
    RingReset(channel);
    // Closed before the request leaves, so a reply decoded at once can never be shut out.
    replyGate[channel].Reset();
    SendFrame(channel, 14);
}

void CCommCenter::TransmitHead(int channel) {
    ChannelState& ch = channels[channel];
    uint8_t mask[kMaskSize];
    ch.GetTargetMask(mask);
    BuildDataRequest(ch.txFrame + kSyncSize, mask, stores[channel].packagePtr[0], kHeadSize);
    SendFrame(channel, kRequestHeaderSize + kHeadSize);
    Pause(kAfterHeadMs);
    SetIdle(ch);
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
            SetIdle(ch);
            return;
        }
        if (needed == 0)
            continue;
        BuildDataRequest(ch.txFrame + kSyncSize, mask, store.packagePtr[i], kPackageSize);
        SendFrame(channel, kRequestHeaderSize + kPackageSize, false);
        if (ch.hPort)
            ch.hPort->WaitTransmitEmpty(); // the whole frame has left before the pause counts
        if (!Pause(ch.packageDelayMs.load()))
            return; // the centre is stopping
        ch.progressDone.fetch_add(1);
    }
    ch.progressBusy.store(0);
    SetIdle(ch);
}

void CCommCenter::TransmitCheck(int channel) {
    ChannelState& ch = channels[channel];
    if (!replyGate[channel].Wait(kGateProbeMs))
        return;
    const int count = ch.nodeCount.load();
    for (int i = ch.replyNode.load() + 1; i >= 0 && i < count; ++i) {
        ch.progressDone.fetch_add(1);
        if (!Pause(kCheckNodeMs))
            return;
        ch.replyNode.store(i);
        nodes[channel][i].replied.store(0);
        uint8_t target[kMaskSize];
        ch.GetTargetMask(target);
        // A node taken out of the command (cancel) is not asked, even if still marked pending.
        if (ch.nodePending[i].load() && MaskTest(target, i)) {
            ch.nodePending[i].store(0);
            uint8_t mask[kMaskSize] = {};
            MaskSet(mask, i);
            BuildCheckRequest(ch.txFrame + kSyncSize, mask, ch.command.fileTag);
            RingReset(channel);
            nodes[channel][i].status.store(NS_REQUEST_SENT);
            replyGate[channel].Reset();
            SendFrame(channel, 17);
            return;
        }
        ch.nodePending[i].store(0);
    }
    ch.progressBusy.store(0);
    SetIdle(ch);
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
        SendFrame(channel, length);
        if (!Pause(DeletePauseMs(n)))
            return;
    }
    SetIdle(ch);
}

void CCommCenter::TransmitClear(int channel) {
    ChannelState& ch = channels[channel];
    uint8_t mask[kMaskSize];
    ch.GetTargetMask(mask);
    BuildClearRequest(ch.txFrame + kSyncSize, mask);
    SendFrame(channel, kRequestHeaderSize);
    Pause(kAfterClearMs);
    SetIdle(ch);
}
