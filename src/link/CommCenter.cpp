#include "link/CommCenter.h"

#include "link/LinkTiming.h"

#include <chrono>
#include <cstring>

namespace {

std::mutex g_lifecycleMutex; // Create and Destroy, which the window thread calls
std::atomic<CCommCenter*> g_center{nullptr};

std::mutex g_portConfigMutex;
PortFactory g_portFactory;
PortResolver g_portResolver;

} // namespace

// ---------------------------------------------------------------------------------------------
// Records

ChannelState::ChannelState() {
    for (auto& b : targetMask)
        b.store(0, std::memory_order_relaxed);
    for (auto& p : nodePending)
        p.store(0, std::memory_order_relaxed);
    std::memset(txFrame, 0, sizeof txFrame);
    std::memcpy(txFrame, kSyncPattern, kSyncSize);
    std::memset(rxRing, 0, sizeof rxRing);
    std::memset(sentOnce, 0, sizeof sentOnce);
}

void ChannelState::GetTargetMask(uint8_t out[kMaskSize]) const {
    for (size_t i = 0; i < kMaskSize; ++i)
        out[i] = targetMask[i].load(std::memory_order_relaxed);
}

void ChannelState::SetTargetMask(const uint8_t in[kMaskSize]) {
    for (size_t i = 0; i < kMaskSize; ++i)
        targetMask[i].store(in[i], std::memory_order_relaxed);
}

NodeRecord::NodeRecord() {
    std::memset(entries, 0, sizeof entries);
    for (auto& n : needPackage)
        n.store(0, std::memory_order_relaxed);
}

std::vector<NodeRecord::ListedFile> NodeRecord::ListedFiles() const {
    std::vector<ListedFile> out;
    std::lock_guard lock(entriesLock);
    int count = fileCount.load(std::memory_order_relaxed);
    if (count > kMaxEntries)
        count = kMaxEntries;
    for (int i = 0; i < count; ++i) {
        ListedFile f;
        std::memcpy(f.name, entries[i], kNameFieldSize);
        f.length = GetLe32(entries[i] + 13);
        out.push_back(f);
    }
    return out;
}

PackageStore::PackageStore() {
    std::memset(packages, 0, sizeof packages);
    for (int i = 0; i < kMaxPackages; ++i)
        packagePtr[i] = packages[i];
}

// ---------------------------------------------------------------------------------------------
// Port configuration

void SetPortFactory(PortFactory factory) {
    std::lock_guard lock(g_portConfigMutex);
    g_portFactory = std::move(factory);
}

void SetPortResolver(PortResolver resolver) {
    std::lock_guard lock(g_portConfigMutex);
    g_portResolver = std::move(resolver);
}

std::string ResolveConfiguredPort(const std::string& portName) {
    PortResolver resolver;
    {
        std::lock_guard lock(g_portConfigMutex);
        resolver = g_portResolver;
    }
    if (resolver)
        return resolver(portName);
    if (!portName.empty() && portName[0] == '/')
        return portName;
    if (portName.size() == 4 && (portName[0] == 'C' || portName[0] == 'c') &&
        (portName[1] == 'O' || portName[1] == 'o') && (portName[2] == 'M' || portName[2] == 'm') &&
        portName[3] >= '1' && portName[3] <= '9')
        return "/dev/ttyS" + std::to_string(portName[3] - '1');
    return {};
}

static std::unique_ptr<SerialPort> MakePort() {
    PortFactory factory;
    {
        std::lock_guard lock(g_portConfigMutex);
        factory = g_portFactory;
    }
    return factory ? factory() : CreateSystemSerialPort();
}

// ---------------------------------------------------------------------------------------------
// Centre lifecycle

CCommCenter::CCommCenter() {
    for (int c = 0; c < kChannels; ++c) {
        threadsStarted[c].store(0);
        taskActive[c].store(0);
        taskCounter[c].store(0);
        replyGate[c].Set();
        ResetNodes(c);
    }
}

CCommCenter::~CCommCenter() {
    linkRun.store(0);
    schedulerRun.store(0);
    stop_.RequestStop();
    StopAllThreads();
    for (auto& ch : channels) {
        if (ch.hPort)
            ch.hPort->Close();
        ch.portOpen.store(0);
    }
}

int CCommCenter::Create(const std::string portName[kChannels], const int nodeCount[kChannels],
                        const int speedIndex[kChannels], const int modeIndex[kChannels]) {
    std::lock_guard lock(g_lifecycleMutex);
    if (CCommCenter* old = g_center.exchange(nullptr))
        delete old; // the destructor stops and joins every thread and closes the ports
    auto* cc = new CCommCenter();
    int result = 0;
    for (int c = 0; c < kChannels; ++c) {
        if (cc->StartChannel(c, portName[c], nodeCount[c], speedIndex[c], modeIndex[c]))
            result |= (1 << c);
    }
    g_center.store(cc);
    return result;
}

void CCommCenter::Destroy() {
    std::lock_guard lock(g_lifecycleMutex);
    delete g_center.exchange(nullptr);
}

CCommCenter* CCommCenter::Instance() {
    return g_center.load();
}

NodeRecord* CCommCenter::NodeTable(int channel) {
    CCommCenter* cc = g_center.load();
    if (!cc || channel < 0 || channel >= kChannels)
        return nullptr;
    if (cc->channels[channel].nodeCount.load() == 0)
        return nullptr;
    return cc->nodes[channel];
}

const char* CCommCenter::ResultText(int result) {
    switch (result & 3) {
    case 0:
        return "Two Channels Error";
    case 1:
        return "Channel One Success, Channel Two Error";
    case 2:
        return "Channel One Error, Channel Two Success";
    default:
        return "Two Channel Success";
    }
}

int CCommCenter::ResetNodes(int channel) {
    if (channel < 0 || channel >= kChannels)
        return -1;
    ResetReplyTimers(channel);
    for (auto& n : nodes[channel]) {
        n.replied.store(0);
        n.status.store(-1);
        n.totalBytes.store(kResetTotalBytes);
        n.clusterBytes.store(kResetClusterBytes);
        n.maxFiles.store(0);
        n.freeBytes.store(0);
        n.progress.store(0);
        n.pendingTaskCount.store(0);
        n.currentTaskNo.store(0);
        n.fileCount.store(0);
        std::lock_guard lock(n.entriesLock);
        for (auto& e : n.entries) {
            e[0] = 0;
            e[12] = 0;
            e[13] = 0;
        }
    }
    return 1;
}

bool CCommCenter::StartChannel(int channel, const std::string& portName, int nodeCount,
                               int speedIndex, int modeIndex) {
    if (channel < 0 || channel >= kChannels)
        return false;
    if (portName.empty() || nodeCount < 1 || nodeCount > kMaxNodes || speedIndex < 0 ||
        speedIndex > 3)
        return false;
    if (!OpenPort(channel, portName, speedIndex))
        return false;
    ChannelState& ch = channels[channel];
    linkRun.store(1);
    ch.nodeCount.store(nodeCount);
    // Mode indexes outside 0..7 are clamped: a negative or huge pause would stall the line.
    int mode = modeIndex < 0 ? 0 : (modeIndex > 7 ? 7 : modeIndex);
    ch.packageDelayMs.store(PackageDelayMs(mode));
    StartThreads(channel);
    for (int j = 0; j < nodeCount; ++j)
        nodeSlots[channel][j].node = &nodes[channel][j];
    return true;
}

void CCommCenter::StartThreads(int channel) {
    if (schedulerRun.load() == 0) {
        schedulerRun.store(1);
        schedulerThread_ = std::thread([this] { SchedulerThread(); });
    }
    replyGate[channel].Set();
    parserThread_[channel] = std::thread([this, channel] { ParserThread(channel); });
    readerThread_[channel] = std::thread([this, channel] { ReaderThread(channel); });
    senderThread_[channel] = std::thread([this, channel] { SenderThread(channel); });
    threadsStarted[channel].store(1);
}

void CCommCenter::StopThreads(int channel) {
    // Cooperative: the loops see the cleared run flags, the sleeps are cut short, then join.
    if (schedulerThread_.joinable()) {
        schedulerRun.store(0);
        stop_.RequestStop();
        schedulerWake.Notify();
        schedulerThread_.join();
    }
    linkRun.store(0);
    stop_.RequestStop();
    replyGate[channel].Set();
    ChannelState& ch = channels[channel];
    ch.rxWake.Notify();
    ch.readerWake.Notify();
    ch.senderWake.Notify();
    {
        // Closed from this side first: a sender blocked in a write or a drain returns at once,
        // and the reader can no longer reopen the device behind our back.
        std::lock_guard lock(ch.portMutex);
        ch.portShutdown = true;
        if (ch.hPort && threadsStarted[channel].load())
            ch.hPort->Close();
    }
    for (std::thread* t :
         {&parserThread_[channel], &readerThread_[channel], &senderThread_[channel]}) {
        if (t->joinable())
            t->join();
    }
    threadsStarted[channel].store(0);
    if (ch.portOpen.load() == 1 && ch.hPort) {
        ch.hPort->Close();
        ch.portOpen.store(0);
    }
}

void CCommCenter::StopAllThreads() {
    for (int c = 0; c < kChannels; ++c)
        StopThreads(c);
}

bool CCommCenter::Pause(int ms) {
    if (pauseHook)
        return pauseHook(ms);
    return stop_.SleepFor(ms);
}

int64_t CCommCenter::NowMs() {
    if (clockHook)
        return clockHook();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool CCommCenter::LineLost(int channel) {
    return channel >= 0 && channel < kChannels && channels[channel].lineLost.load() != 0;
}

void CCommCenter::MarkLineLost(int channel) {
    ChannelState& ch = channels[channel];
    if (ch.lineLost.exchange(1) == 0) {
        // Nobody will answer the open request: the sender must not wait it out.
        ch.openRequest.store(0);
        replyGate[channel].Set();
    }
}

void CCommCenter::ReopenPort(int channel) {
    ChannelState& ch = channels[channel];
    std::lock_guard lock(ch.portMutex);
    if (ch.portShutdown || !ch.hPort || linkRun.load() != 1)
        return;
    ch.hPort->Close();
    const std::string device = ResolveConfiguredPort(ch.portName);
    if (device.empty() || !ch.hPort->Open(device))
        return;
    LineSettings s;
    if (ch.hPort->GetSettings(s)) {
        s.baud = BaudOfSpeedIndex(ch.speedIndex);
        s.dataBits = 8;
        s.stopBits = 1;
        s.parity = Parity::Space;
        ch.hPort->SetSettings(s);
    }
    if (!ch.hPort->SetReadReturnsAtOnce()) {
        ch.hPort->Close();
        return;
    }
    RingReset(channel);
    ch.syncMatch.store(0);
    // The device may be another adapter, or lead to other machines: their figures start afresh.
    ResetReplyTimers(channel);
    ch.lineLost.store(0);
}

bool CCommCenter::ChannelIdle(int channel) {
    // Both loads sequentially consistent, paired with the sender's store of senderActive before
    // its load of cmdType (see SenderStep).
    return channels[channel].cmdType.load() == CMD_IDLE &&
           channels[channel].senderActive.load() == 0;
}

// ---------------------------------------------------------------------------------------------
// Serial channel

int CCommCenter::OpenPort(int channel, const std::string& portName, int speedIndex) {
    ChannelState& ch = channels[channel];
    ch.portName = portName;
    ch.speedIndex = speedIndex;
    ch.baud.store(BaudOfSpeedIndex(speedIndex));
    if (ch.portOpen.load() == 0) {
        const std::string device = ResolveConfiguredPort(portName);
        std::unique_ptr<SerialPort> port = MakePort();
        if (device.empty() || !port || !port->Open(device)) {
            ch.portOpen.store(0);
            return 0;
        }
        ch.hPort = std::move(port);
    }
    LineSettings s;
    if (ch.hPort->GetSettings(s)) {
        s.baud = BaudOfSpeedIndex(speedIndex);
        s.dataBits = 8;
        s.stopBits = 1;
        s.parity = Parity::Space;
        ch.hPort->SetSettings(s); // result ignored, as the line may refuse a setting it lacks
    }
    if (!ch.hPort->SetReadReturnsAtOnce()) {
        ch.hPort->Close();
        ch.hPort.reset();
        ch.portOpen.store(0);
        return 0;
    }
    ch.portOpen.store(1);
    return 1;
}

int CCommCenter::RingCount(int channel) {
    ChannelState& ch = channels[channel];
    std::lock_guard lock(ch.ringLock);
    return (ch.rxWrite.load(std::memory_order_relaxed) - ch.rxRead.load(std::memory_order_relaxed) +
            static_cast<int>(kRingSize)) %
           static_cast<int>(kRingSize);
}

int CCommCenter::RingRead(int channel, uint8_t* dst, int maxCount) {
    ChannelState& ch = channels[channel];
    std::lock_guard lock(ch.ringLock);
    int r = ch.rxRead.load(std::memory_order_relaxed);
    const int w = ch.rxWrite.load(std::memory_order_relaxed);
    const int held = (w - r + static_cast<int>(kRingSize)) % static_cast<int>(kRingSize);
    const int n = maxCount < held ? maxCount : held;
    for (int i = 0; i < n; ++i) {
        dst[i] = ch.rxRing[r];
        r = (r + 1) % static_cast<int>(kRingSize);
    }
    ch.rxRead.store(static_cast<uint16_t>(r), std::memory_order_relaxed);
    return n < 0 ? 0 : n;
}

void CCommCenter::RingReset(int channel) {
    ChannelState& ch = channels[channel];
    std::lock_guard lock(ch.ringLock);
    ch.rxRead.store(0, std::memory_order_relaxed);
    ch.rxWrite.store(0, std::memory_order_relaxed);
    // Bytes a reader pass took from the port before this reset belong to the time before it.
    ch.ringGeneration.fetch_add(1, std::memory_order_relaxed);
}

bool CCommCenter::IsRxIdle(int channel) {
    return channels[channel].rxIdle.load() != 0;
}

void CCommCenter::ReaderStep(int channel) {
    ChannelState& ch = channels[channel];
    int freeRoom;
    uint32_t generation;
    {
        std::lock_guard lock(ch.ringLock);
        freeRoom = (ch.rxRead.load(std::memory_order_relaxed) -
                    ch.rxWrite.load(std::memory_order_relaxed) + 2047) %
                   static_cast<int>(kRingSize);
        generation = ch.ringGeneration.load(std::memory_order_relaxed);
    }
    uint8_t local[kRingSize];
    long got = 0;
    if (ch.hPort)
        got = ch.hPort->Read(local, static_cast<size_t>(freeRoom));
    if (got < 0) {
        // A read error or a hang-up: the line is dead until its device is open again.
        got = 0;
        MarkLineLost(channel);
    }
    // No wait on port events here: on this platform it could only hold up the sender.
    ch.rxIdle.store(got == 0 ? 1 : 0);
    if (got == 0)
        return;
    ch.lastRxMs.store(NowMs());
    std::lock_guard lock(ch.ringLock);
    if (ch.ringGeneration.load(std::memory_order_relaxed) != generation)
        return; // read before a reset: stale
    // The room can only have grown since it was measured (the parser and a reset free bytes).
    int w = ch.rxWrite.load(std::memory_order_relaxed);
    for (long i = 0; i < got; ++i) {
        ch.rxRing[w] = local[i];
        w = (w + 1) % static_cast<int>(kRingSize);
    }
    ch.rxWrite.store(static_cast<uint16_t>(w), std::memory_order_relaxed);
    ch.rxWake.Notify();
}

bool CCommCenter::SetParity(int channel, Parity parity) {
    SerialPort* port = channels[channel].hPort.get();
    if (!port || channels[channel].lineLost.load())
        return false;
    LineSettings s;
    if (!port->GetSettings(s)) {
        MarkLineLost(channel); // the device is gone
        return false;
    }
    s.parity = parity;
    port->SetSettings(s); // a line that refuses a setting still carries the frame
    return true;
}

bool CCommCenter::WriteAll(int channel, const uint8_t* data, size_t count) {
    ChannelState& ch = channels[channel];
    SerialPort* port = ch.hPort.get();
    if (!port || ch.lineLost.load())
        return false;
    // A line that takes nothing for this long (a terminal nobody reads) is as good as dead.
    int64_t stallLimit = NowMs() + kWriteStallMs + LineMs(ch.baud.load(), count);
    while (count > 0) {
        const long n = port->Write(data, count);
        if (n < 0) {
            MarkLineLost(channel); // the port is gone; nothing more can be written
            return false;
        }
        if (n == 0) {
            if (NowMs() >= stallLimit) {
                MarkLineLost(channel);
                return false;
            }
            if (!Pause(1))
                return false;
            continue;
        }
        data += n;
        count -= static_cast<size_t>(n);
        stallLimit = NowMs() + kWriteStallMs + LineMs(ch.baud.load(), count);
    }
    return true;
}

bool CCommCenter::WaitSent(int channel) {
    SerialPort* port = channels[channel].hPort.get();
    if (!port || channels[channel].lineLost.load())
        return false;
    if (!port->WaitTransmitEmpty()) {
        MarkLineLost(channel);
        return false;
    }
    return true;
}

bool CCommCenter::SendFrame(int channel, size_t length, bool setEventMask) {
    ChannelState& ch = channels[channel];
    (void)setEventMask; // the POSIX port needs no event mask to wait for an empty transmitter
    ch.lineFreeAtMs = LineFreeAtMs(ch.lineFreeAtMs, NowMs(), ch.baud.load(),
                                   static_cast<int64_t>(kSyncSize + length));
    if (!SetParity(channel, Parity::Mark))
        return false;
    for (size_t i = 0; i < kSyncSize; ++i) {
        if (!WriteAll(channel, &ch.txFrame[i], 1) || !WaitSent(channel))
            return false;
    }
    return SetParity(channel, Parity::Space) && WriteAll(channel, ch.txFrame + kSyncSize, length);
}

// ---------------------------------------------------------------------------------------------
// Reply timing

void CCommCenter::LearnReplyDelay(int channel, int node, double delayMs) {
    if (channel < 0 || channel >= kChannels || node < 0 || node >= kMaxNodes)
        return;
    ChannelState& ch = channels[channel];
    double smoothed;
    {
        std::lock_guard lock(ch.timerLock);
        ch.replyTimers[node].Learn(delayMs);
        smoothed = ch.replyTimers[node].SmoothedMs();
    }
    nodes[channel][node].replyDelayUs.store(static_cast<int32_t>(smoothed * 1000 + 0.5));
}

ReplyTimer CCommCenter::ReplyTimerOf(int channel, int node) {
    if (channel < 0 || channel >= kChannels || node < 0 || node >= kMaxNodes)
        return ReplyTimer();
    ChannelState& ch = channels[channel];
    std::lock_guard lock(ch.timerLock);
    return ch.replyTimers[node];
}

void CCommCenter::ResetReplyTimers(int channel) {
    ChannelState& ch = channels[channel];
    {
        std::lock_guard lock(ch.timerLock);
        for (ReplyTimer& t : ch.replyTimers)
            t.Reset();
    }
    for (NodeRecord& n : nodes[channel])
        n.replyDelayUs.store(-1);
}

// ---------------------------------------------------------------------------------------------
// Thread loops. Each sleeps its period at most; a wake from the thread that has something for it
// ends the sleep early, so a reply or a command is taken up when it comes, not a period later.

namespace {

// A reply, or a late one, may come: the reader reads at its short period.
bool Listening(ChannelState& ch, int64_t now) {
    return ch.openRequest.load() != 0 || ch.replyInProgress.load() != 0 ||
           now < ch.listenUntilMs.load();
}

} // namespace

void CCommCenter::ReaderThread(int channel) {
    int64_t nextReopen = 0;
    ChannelState& ch = channels[channel];
    uint64_t seen = ch.readerWake.Seen();
    while (linkRun.load() == 1) {
        const int period = Listening(ch, NowMs()) ? kReaderListenPeriodMs : kReaderPeriodMs;
        ch.readerWake.WaitFor(period, seen);
        if (linkRun.load() != 1 || stop_.Stopped())
            break;
        if (ch.portOpen.load() == 0)
            continue;
        if (ch.lineLost.load()) {
            if (NowMs() >= nextReopen) {
                nextReopen = NowMs() + kReopenPeriodMs;
                ReopenPort(channel);
            }
            continue;
        }
        ReaderStep(channel);
    }
}

void CCommCenter::ParserThread(int channel) {
    ChannelState& ch = channels[channel];
    uint64_t seen = ch.rxWake.Seen();
    while (linkRun.load() == 1) {
        ch.rxWake.WaitFor(kParserPeriodMs, seen);
        if (linkRun.load() != 1 || stop_.Stopped())
            break;
        ParserStep(channel);
    }
}

void CCommCenter::SenderThread(int channel) {
    ChannelState& ch = channels[channel];
    uint64_t seen = ch.senderWake.Seen();
    while (linkRun.load() == 1) {
        // A request that awaits its reply is followed up at once: the sender waits on the reply
        // gate (AwaitReply), which the parser opens as soon as the reply is in.
        const int type = ch.cmdType.load();
        const bool awaiting = ch.openRequest.load() != 0 && ch.portOpen.load() == 1 &&
                              ch.lineLost.load() == 0 &&
                              (type == CMD_QUERY_NODE || type == CMD_CHECK_FILE);
        if (!awaiting)
            ch.senderWake.WaitFor(kSenderPeriodMs, seen);
        if (linkRun.load() != 1 || stop_.Stopped())
            break;
        SenderStep(channel);
    }
}
