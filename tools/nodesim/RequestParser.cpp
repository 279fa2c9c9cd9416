#include "RequestParser.h"

#include <algorithm>
#include <cstring>

namespace nodesim {

bool LengthFitsCode(uint8_t code, uint16_t length) {
    switch (code) {
    case FRAME_QUERY:
        return length == 2;
    case FRAME_DATA:
        return length == kHeadSize || length == kPackageSize;
    case FRAME_CHECK:
        return length == 5;
    case FRAME_DELETE:
        if (length == 0)
            return true;
        return length >= 14 && (length - 2) % kNameFieldSize == 0 &&
               (length - 2) / kNameFieldSize <= static_cast<size_t>(kMaxDeleteNames);
    default:
        return false;
    }
}

void RequestParser::Reset() {
    begin_ = end_ = need_ = 0;
    stats_ = {};
}

void RequestParser::Feed(const uint8_t* data, size_t n, const Sink& onFrame) {
    while (n > 0) {
        if (end_ == sizeof buf_) {
            // Scan leaves less than one frame behind, so this always frees room.
            std::memmove(buf_, buf_ + begin_, end_ - begin_);
            end_ -= begin_;
            begin_ = 0;
        }
        const size_t take = std::min(n, sizeof buf_ - end_);
        std::memcpy(buf_ + end_, data, take);
        end_ += take;
        data += take;
        n -= take;
        if (end_ - begin_ >= need_)
            Scan(onFrame);
    }
}

void RequestParser::Scan(const Sink& onFrame) {
    constexpr size_t kFixed = kSyncSize + kRequestHeaderSize;
    for (;;) {
        const size_t avail = end_ - begin_;
        if (avail == 0) {
            begin_ = end_ = 0;
            need_ = 1;
            return;
        }
        const uint8_t* p = buf_ + begin_;

        // Over a pty the ninth bit is lost, so sync is found by byte values alone. Any position
        // may start a sync, including the byte that broke a partial match.
        const size_t syncAvail = std::min(avail, kSyncSize);
        size_t matched = 0;
        while (matched < syncAvail && p[matched] == kSyncPattern[matched])
            ++matched;
        if (matched < syncAvail) {
            const void* next = std::memchr(p + 1, kSyncPattern[0], avail - 1);
            const size_t skip = next ? static_cast<const uint8_t*>(next) - p : avail;
            stats_.skippedBytes += skip;
            begin_ += skip;
            continue;
        }
        if (avail < kFixed) {
            // A partial sync is tried again with its next byte, which may break it.
            need_ = matched < kSyncSize ? avail + 1 : kFixed;
            return;
        }

        const uint8_t* h = p + kSyncSize;
        const uint16_t length = static_cast<uint16_t>(GetLe16(h + 8));
        const uint8_t code = h[10];
        bool bad = false;
        if (Crc8(h, 11) != h[11]) {
            ++stats_.badHeaderCheck;
            bad = true;
        } else if (!LengthFitsCode(code, length)) {
            ++stats_.badLength;
            bad = true;
        } else if (avail < kFixed + length) {
            need_ = kFixed + length; // payload bytes are never searched for sync meanwhile
            return;
        } else if (length > 0 && Crc8(h + 12, length - 1u) != h[12 + length - 1]) {
            ++stats_.badPayloadCheck;
            bad = true;
        } else if (code == FRAME_DELETE && length > 0 && length != h[12] * kNameFieldSize + 2) {
            ++stats_.badLength; // the name count disagrees with the length
            bad = true;
        }
        if (bad) {
            begin_ += 1; // resume right after the first sync byte of the bad frame
            continue;
        }

        Request r;
        std::memcpy(r.mask, h, kMaskSize);
        r.code = code;
        r.length = length;
        r.payload = h + 12;
        ++stats_.frames;
        begin_ += kFixed + length;
        onFrame(r);
    }
}

} // namespace nodesim
