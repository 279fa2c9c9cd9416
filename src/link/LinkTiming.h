// Periods and pauses of the link's threads and transmitters, in milliseconds.
#pragma once

constexpr int kReaderPeriodMs = 100;
// While a reply may come the reader reads this often: the parser is woken as soon as its bytes
// are in, and a reply's first byte is timed to within a few milliseconds (ReplyTimer.h).
constexpr int kReaderListenPeriodMs = 2;
constexpr int kParserPeriodMs = 110;
constexpr int kSenderPeriodMs = 130;

#include <cstdint>

// The least wait for a reply (plus its line time); a node's own figures may call for more
// (ReplyTimer.h).
constexpr int kGateGiveUpMs = 200;
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

// A reply whose bytes have reached the ring, or that the parser is reading, by the time the wait
// runs out is read to its end: at most the parser's own waits (header, body, drain) and a period.
constexpr int kReplyReadBoundMs = 2500;
// After a give-up the next request waits for the grace the node's figures call for
// (ReplyTimer.h), and then for a quiet line: no byte for this long, some reader passes at the
// short period, so that a reply under way is read to its end first.
constexpr int kQuietMs = 50;
constexpr int kQuietPollMs = 10;
constexpr int kBabbleLimitMs = 2000;  // a line that never goes quiet is not waited for longer
constexpr int kReopenPeriodMs = 1000; // a lost line's device is tried again this often
constexpr int kWriteStallMs = 3000;   // a port that takes no byte for this long has failed

// The line carries 11 bits a byte (start, 8 data, the ninth bit, stop).
constexpr int kBitsPerByte = 11;
// Milliseconds that `bytes` take on a line of `baud` bits per second, rounded up.
constexpr int LineMs(uint32_t baud, int64_t bytes) {
    return baud == 0 ? 0 : static_cast<int>((bytes * kBitsPerByte * 1000 + baud - 1) / baud);
}
// The least a request waits for its reply: the give-up time of a fast line plus the line time of
// the request and of the longest reply it can bring.
constexpr int ReplyWaitMs(uint32_t baud, int requestBytes, int longestReplyBytes) {
    return kGateGiveUpMs + LineMs(baud, requestBytes + longestReplyBytes);
}

// The most a port may have taken and not yet sent while its transmit-empty wait says it is empty:
// a pseudo-terminal holds some 15 to 18 KB, an adapter has buffers of its own.
constexpr int kUnsentBytesLimit = 32 * 1024;

// When the line will have carried a frame of `bytes` handed to the port at `nowMs`, after the
// frames before it, which it carries until `freeAtMs`. No more than kUnsentBytesLimit is reckoned
// to wait in the port: a port that took more has been emptied faster than the line rate.
constexpr int64_t LineFreeAtMs(int64_t freeAtMs, int64_t nowMs, uint32_t baud, int64_t bytes) {
    const int64_t queued = (freeAtMs > nowMs ? freeAtMs : nowMs) + LineMs(baud, bytes);
    const int64_t limit = nowMs + LineMs(baud, kUnsentBytesLimit + bytes);
    return queued < limit ? queued : limit;
}

// Pause after a delete batch of n names.
constexpr int DeletePauseMs(int n) {
    return n <= 10 ? 20 * n : (n <= 20 ? 12 * n : 7 * n);
}

// Pause after each data package for a Mode index 0..7: 1 ms, then 5 ms per step.
constexpr int PackageDelayMs(int modeIndex) {
    return modeIndex == 0 ? 1 : 5 * modeIndex;
}
