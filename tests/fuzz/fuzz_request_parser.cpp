// Fuzzes the node simulator's request parser as a pure function over bytes: a stream of request
// frames and garbage is parsed whole and in chunks of fuzzer-chosen sizes. The engine behind it,
// with its replies and its storage, is fuzz_node_engine, on inputs of the same form.
//
// Input: an 8-byte preamble (the engine's configuration in fuzz_node_engine; read and unused
// here, so that both targets share their seeds), then recipes.
// Recipes: a kind byte, then per kind % 8:
//   0 raw bytes (count byte, bytes)    1 query (mask, block)      2 check (mask, tag)
//   3 head (mask, name, length, tag)   4 package (mask, number, fill byte)
//   5 delete (mask, count, 12-byte names)   6 clear (mask)   7 a valid frame, one byte changed
// A mask is one byte: below 0x80 a single node (0..63, so also the bits that are always 0);
// otherwise four more bytes, the whole mask. Then a chunk-size byte (0: the rest at once; when
// every one is 0, pieces of 7 bytes).
//
// Invariants: no crash; every frame the parser hands over is well-formed (a length that fits its
// code, good checks); the chunked feed gives exactly the frames of the whole feed, and the same
// counts of refused and skipped bytes; the parser's counts agree with what it handed over and it
// never holds more than one frame.
#include "FuzzSupport.h"
#include "RequestRecipes.h"

#include "RequestParser.h"
#include "link/Frame.h"

#include <algorithm>
#include <vector>

using namespace nodesim;
using namespace nodesim::fuzz;

namespace {

// Enough for a head, a package and the checks around them; longer streams only repeat what
// shorter ones reach, and would cost the fuzzer most of its speed.
constexpr size_t kMaxStream = 1024;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::vector<uint8_t> stream, chunks;
    static RequestParser whole, split;
    static FrameLog frames; // of the whole feed
    stream.clear();
    chunks.clear();
    FuzzInput in(data, size);
    for (int i = 0; i < 8; ++i)
        in.u8(); // the engine's configuration in fuzz_node_engine
    AppendRecipes(in, kMaxStream, stream, chunks);

    whole.Reset();
    frames.clear();
    whole.Feed(stream.data(), stream.size(), [&](const Request& r) {
        CheckRequest(r);
        frames.add(r);
    });
    const size_t n = frames.size();
    split.Reset();
    size_t k = 0;
    // One sink for all the pieces: a sink made per call would cost its construction per piece.
    // Checked through the whole feed: a frame that equals its byte for byte passes the same checks.
    const RequestParser::Sink check = [&](const Request& r) {
        FUZZ_CHECK(k < n, "the split feed found frame %zu of %zu", k, n);
        FUZZ_CHECK(frames.same(k, r), "frame %zu differs between whole and split feed", k);
        ++k;
    };
    size_t at = 0;
    for (size_t i = 0; at < stream.size(); ++i) {
        const size_t want = chunks[i % chunks.size()];
        const size_t len = want == 0 ? stream.size() - at : std::min(want, stream.size() - at);
        split.Feed(stream.data() + at, len, check);
        at += len;
    }
    FUZZ_CHECK(k == n, "%zu frames fed whole, %zu fed in pieces", n, k);
    FUZZ_CHECK(whole.stats().frames == n, "parser counted %llu frames, handed over %zu",
               static_cast<unsigned long long>(whole.stats().frames), n);
    FUZZ_CHECK(whole.buffered() <= RequestParser::kMaxFrame, "parser holds %zu bytes",
               whole.buffered());
    // Pieces change nothing, not even the counts of what was refused or what is still held.
    const ParserStatistics &w = whole.stats(), &s = split.stats();
    FUZZ_CHECK(w.frames == s.frames && w.badHeaderCheck == s.badHeaderCheck &&
                   w.badLength == s.badLength && w.badPayloadCheck == s.badPayloadCheck &&
                   w.skippedBytes == s.skippedBytes && whole.buffered() == split.buffered(),
               "counts differ between whole and split feed (skipped %llu and %llu, held %zu "
               "and %zu)",
               static_cast<unsigned long long>(w.skippedBytes),
               static_cast<unsigned long long>(s.skippedBytes), whole.buffered(), split.buffered());
    return 0;
}
