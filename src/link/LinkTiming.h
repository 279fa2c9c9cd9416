// Periods and pauses of the link's threads and transmitters, in milliseconds.
#pragma once

constexpr int kReaderPeriodMs = 100;
constexpr int kParserPeriodMs = 110;
constexpr int kSenderPeriodMs = 130;

constexpr int kGateGiveUpMs = 200; // a reply not decoded by then is given up
constexpr int kGateProbeMs = 1;    // transmitters only look whether the gate is open
constexpr int kCheckGapMs = 10;    // after the gate, before the next file check
constexpr int kCheckNodeMs = 20;   // per node passed by a file check
constexpr int kQueryEndMs = 100;   // before a finished query hands the channel back
constexpr int kAfterHeadMs = 100;
constexpr int kAfterClearMs = 100;

constexpr int kReplyHeaderWaitMs = 110; // once, when fewer than 3 bytes are in the ring
constexpr int kReplyPollMs = 20;        // body waits and drains poll at this period
constexpr int kBodyWaitPolls = 51;
constexpr int kQueryDrainPolls = 11;
constexpr int kCheckDrainPolls = 51;

// Pause after a delete batch of n names.
constexpr int DeletePauseMs(int n) {
    return n <= 10 ? 20 * n : (n <= 20 ? 12 * n : 7 * n);
}

// Pause after each data package for a Mode index 0..7: 1 ms, then 5 ms per step.
constexpr int PackageDelayMs(int modeIndex) {
    return modeIndex == 0 ? 1 : 5 * modeIndex;
}
