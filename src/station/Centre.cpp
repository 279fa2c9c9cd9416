#include "station/Centre.h"

#include "platform/PortNames.h"
#include "store/SystemParameters.h"
#include "tasks/TaskLayer.h"

#include <algorithm>
#include <mutex>

CentreSettings CentreSettingsFromParameters() {
    const SystemParameters& p = Params();
    CentreSettings s;
    for (int c = 0; c < kChannels; ++c) {
        s.port[c] = p.comId[c];
        s.nodeCount[c] = p.comSum[c];
        s.speedIndex[c] = p.comSpeed[c];
        s.modeIndex[c] = p.comMode[c];
    }
    return s;
}

std::string StationDevice(const std::string& portName) {
    return ResolvePortName(portName, ParametersPath());
}

namespace {

uint64_t gGeneration = 0; // changed under StationStateGate() held alone

} // namespace

int StartCentre(const CentreSettings& s) {
    // Resolved against this working folder's Para.ini, read when a channel opens.
    const std::string paraIni = ParametersPath();
    SetPortResolver([paraIni](const std::string& name) { return ResolvePortName(name, paraIni); });
    std::unique_lock changing(StationStateGate());
    ++gGeneration;
    return CCommCenter::Create(s.port, s.nodeCount, s.speedIndex, s.modeIndex);
}

void StopCentre() {
    std::unique_lock changing(StationStateGate());
    ++gGeneration;
    CCommCenter::Destroy();
}

uint64_t CentreGeneration() {
    return gGeneration;
}

int StartCentreFromParameters() {
    return StartCentre(CentreSettingsFromParameters());
}

int LostLines(CCommCenter& cc, int openResult) {
    int lost = 0;
    for (int c = 0; c < kChannels; ++c) {
        const int bit = 1 << c;
        if ((openResult & bit) != 0 && cc.LineLost(c))
            lost |= bit;
    }
    return lost;
}

int LostLines(int openResult) {
    CCommCenter* cc = CCommCenter::Instance();
    return cc != nullptr ? LostLines(*cc, openResult) : 0;
}

bool ChannelBusy(CCommCenter& cc, int c) {
    if (c < 0 || c >= kChannels)
        return false;
    // The task fields as one snapshot between scheduler cycles: read one by one, they can miss a
    // task on its way from the queue to the scheduler.
    if (!cc.ChannelQuiet(c) || cc.channels[c].cmdType.load() != CMD_IDLE)
        return true;
    for (int n = 0; n < kMaxNodes; ++n) {
        if (cc.nodes[c][n].pendingTaskCount.load() != 0)
            return true;
    }
    return false;
}

bool CentreBusy() {
    CCommCenter* cc = CCommCenter::Instance();
    if (!cc)
        return false;
    for (int c = 0; c < kChannels; ++c) {
        if (ChannelBusy(*cc, c))
            return true;
    }
    return false;
}

int CancelTaskNumbers(CCommCenter& cc, int channel, const int32_t* nodeMask,
                      const std::vector<int32_t>& taskNos) {
    if (channel < 0 || channel >= kChannels || !nodeMask)
        return 0;
    std::vector<int32_t> numbers;
    for (int32_t t : taskNos) {
        if (t >= 1 && std::find(numbers.begin(), numbers.end(), t) == numbers.end())
            numbers.push_back(t);
    }
    CTransTask request;
    std::copy(nodeMask, nodeMask + kTaskNodes, request.nodeMask);
    // CancelTasks takes its numbers from the last to the first; the batches keep that order.
    const size_t batch = kMaxCancelTaskNos;
    int calls = 0;
    for (size_t end = numbers.size(); end > 0;) {
        const size_t begin = end > batch ? end - batch : 0;
        std::fill(std::begin(request.cancelTaskNos), std::end(request.cancelTaskNos), -1);
        std::copy(numbers.begin() + static_cast<std::ptrdiff_t>(begin),
                  numbers.begin() + static_cast<std::ptrdiff_t>(end), request.cancelTaskNos);
        cc.CancelTasks(channel, request);
        ++calls;
        end = begin;
    }
    return calls;
}

int CancelTaskNumbers(int channel, const int32_t* nodeMask, const std::vector<int32_t>& taskNos) {
    CCommCenter* cc = CCommCenter::Instance();
    return cc ? CancelTaskNumbers(*cc, channel, nodeMask, taskNos) : 0;
}
