// Incremental parser of request frames (station to node) over a byte stream.
#pragma once

#include "link/Frame.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace nodesim {

// One well-formed request. `payload` points into the parser's buffer and is valid only while
// the frame is being handled.
struct Request {
    uint8_t mask[kMaskSize] = {};
    uint8_t code = 0;
    uint16_t length = 0; // L, payload bytes including the payload check
    const uint8_t* payload = nullptr;
};

struct ParserStatistics {
    uint64_t frames = 0;
    uint64_t badHeaderCheck = 0;
    uint64_t badLength = 0; // unknown code, or a length that does not fit the code
    uint64_t badPayloadCheck = 0;
    uint64_t skippedBytes = 0; // bytes outside any frame
};

// Whether a payload length L is one that command `code` can carry.
bool LengthFitsCode(uint8_t code, uint16_t length);

class RequestParser {
public:
    static constexpr size_t kMaxFrame = kSyncSize + kRequestHeaderSize + kPackageSize;
    using Sink = std::function<void(const Request&)>;

    // Takes any number of bytes and calls `onFrame` for every good frame completed by them, in
    // order. A bad frame is counted and dropped, and the search for sync resumes right after its
    // first sync byte. `onFrame` must not feed this parser.
    void Feed(const uint8_t* data, size_t n, const Sink& onFrame);
    void Reset();

    const ParserStatistics& stats() const { return stats_; }
    size_t buffered() const { return end_ - begin_; }

private:
    void Scan(const Sink& onFrame);

    // Holds at most one frame in the making; twice its size so that compaction is rare.
    uint8_t buf_[2 * kMaxFrame];
    size_t begin_ = 0;
    size_t end_ = 0;
    // Bytes that must be buffered before a scan can find anything new: a frame that waits for
    // its payload is not checked again for every byte that arrives.
    size_t need_ = 0;
    ParserStatistics stats_;
};

} // namespace nodesim
