#include "RequestParser.h"
#include "TestFrames.h"

#include <gtest/gtest.h>

#include <random>

namespace nodesim::test {
namespace {

struct Seen {
    uint8_t code;
    uint16_t length;
    Bytes mask;
    Bytes payload;
};

std::vector<Seen> Parse(RequestParser& parser, const Bytes& bytes) {
    std::vector<Seen> seen;
    parser.Feed(bytes.data(), bytes.size(), [&](const Request& r) {
        seen.push_back({r.code, r.length, Bytes(r.mask, r.mask + kMaskSize),
                        Bytes(r.payload, r.payload + r.length)});
    });
    return seen;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// A frame with a correct header check whose length and payload are whatever the test says;
// the payload check is made correct too unless `goodPayloadCheck` is false.
Bytes RawFrame(uint8_t code, uint16_t length, const Bytes& payloadWithoutCheck,
               bool goodPayloadCheck = true) {
    Mask m{0};
    Bytes f(kSyncPattern, kSyncPattern + kSyncSize);
    f.resize(kSyncSize + kRequestHeaderSize);
    WriteRequestHeader(f.data() + kSyncSize, m.bits, length, code);
    f.insert(f.end(), payloadWithoutCheck.begin(), payloadWithoutCheck.end());
    if (length > 0)
        f.push_back(
            static_cast<uint8_t>(Crc8(payloadWithoutCheck.data(), payloadWithoutCheck.size()) ^
                                 (goodPayloadCheck ? 0 : 0x5A)));
    return f;
}

TEST(RequestParser, AcceptsEveryKindOfGoodFrame) {
    const Bytes content = Pattern(700, 1);
    const std::vector<Bytes> frames = {
        QueryFrame({9}, 3),
        HeadFrame({0, 1}, NodeNameField("abc.dst"), 700, {1, 2, 3, 4}),
        PackageFrame({0, 1}, content, 2),
        CheckFrame({31}, {9, 8, 7, 6}),
        DeleteFrame({2}, {"ABC     DST "}),
        DeleteFrame({2}, std::vector<std::string>(32, "X")),
        ClearFrame({0, 1, 2}),
    };
    const std::vector<std::pair<uint8_t, uint16_t>> expect = {
        {FRAME_QUERY, 2},   {FRAME_DATA, 23},    {FRAME_DATA, 515}, {FRAME_CHECK, 5},
        {FRAME_DELETE, 14}, {FRAME_DELETE, 386}, {FRAME_DELETE, 0}};
    RequestParser parser;
    Bytes all;
    for (const Bytes& f : frames)
        all.insert(all.end(), f.begin(), f.end());
    const std::vector<Seen> seen = Parse(parser, all);
    ASSERT_EQ(seen.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(seen[i].code, expect[i].first) << i;
        EXPECT_EQ(seen[i].length, expect[i].second) << i;
        EXPECT_EQ(seen[i].mask, Bytes(frames[i].begin() + 6, frames[i].begin() + 14)) << i;
        EXPECT_EQ(seen[i].payload, Bytes(frames[i].begin() + 18, frames[i].end())) << i;
    }
    EXPECT_EQ(parser.stats().frames, frames.size());
    EXPECT_EQ(parser.stats().skippedBytes, 0u);
}

TEST(RequestParser, RefusesBadChecksAndCountsThem) {
    RequestParser parser;
    Bytes badHeader = QueryFrame({1}, 0);
    badHeader[17] ^= 0x01;
    Bytes badPayload = CheckFrame({1}, {1, 2, 3, 4});
    badPayload[20] ^= 0x80; // a tag byte
    const Bytes good = QueryFrame({1}, 1);
    const std::vector<Seen> seen = Parse(parser, Cat({badHeader, badPayload, good}));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].payload[0], 1);
    EXPECT_EQ(parser.stats().badHeaderCheck, 1u);
    EXPECT_EQ(parser.stats().badPayloadCheck, 1u);
}

TEST(RequestParser, RefusesLengthsThatDoNotFitTheCode) {
    const std::vector<Bytes> bad = {
        RawFrame(FRAME_QUERY, 3, {0, 0}),
        RawFrame(FRAME_QUERY, 0, {}),
        RawFrame(FRAME_DATA, 24, Bytes(23)),
        RawFrame(FRAME_DATA, 514, Bytes(513)),
        RawFrame(FRAME_CHECK, 4, Bytes(3)),
        RawFrame(FRAME_DELETE, 13, Bytes(12, 1)),
        RawFrame(FRAME_DELETE, 2, {0}),                    // no names
        RawFrame(FRAME_DELETE, 12 * 33 + 2, Bytes(397)),   // 33 names
        RawFrame(FRAME_DELETE, 26, Cat({{1}, Bytes(24)})), // count 1, room for 2
        RawFrame(0x15, 2, {0}),
        RawFrame(0x10, 0, {}),
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        RequestParser parser;
        EXPECT_TRUE(Parse(parser, bad[i]).empty()) << i;
        EXPECT_EQ(parser.stats().badLength, 1u) << i;
    }
    // The boundary cases on the good side.
    RequestParser parser;
    EXPECT_EQ(Parse(parser, RawFrame(FRAME_DELETE, 12 * 32 + 2, Cat({{32}, Bytes(384)}))).size(),
              1u);
}

TEST(RequestParser, FindsFramesInGarbageAndAcrossFeeds) {
    const Bytes frame = HeadFrame({4}, NodeNameField("x.upt"), 99, {5, 5, 5, 5});
    const Bytes garbage = {0x00, 0xEB, 0x90, 0xEB, 0x11, 0xEB, 0xEB, 0x90, 0x90, 0xFF};
    const Bytes stream = Cat({garbage, frame, garbage, frame});
    // Every split point, and byte by byte.
    for (size_t cut = 0; cut <= stream.size(); ++cut) {
        RequestParser parser;
        size_t frames = 0;
        const auto count = [&](const Request&) { ++frames; };
        parser.Feed(stream.data(), cut, count);
        parser.Feed(stream.data() + cut, stream.size() - cut, count);
        ASSERT_EQ(frames, 2u) << "cut at " << cut;
        EXPECT_EQ(parser.stats().skippedBytes, 2 * garbage.size());
    }
    RequestParser parser;
    size_t frames = 0;
    for (uint8_t b : stream)
        parser.Feed(&b, 1, [&](const Request&) { ++frames; });
    EXPECT_EQ(frames, 2u);
}

TEST(RequestParser, ASyncByteThatBreaksAMatchMayStartTheNextOne) {
    RequestParser parser;
    EXPECT_EQ(Parse(parser, Cat({{0xEB}, QueryFrame({0}, 0)})).size(), 1u);
    EXPECT_EQ(Parse(parser, Cat({{0xEB, 0x90, 0xEB, 0x90, 0xEB}, QueryFrame({0}, 0)})).size(), 1u);
}

TEST(RequestParser, NeverSearchesAPayloadForSync) {
    // Package data that holds a complete query frame.
    const Bytes inner = QueryFrame({3}, 0);
    Bytes content(512, 0x55);
    std::copy(inner.begin(), inner.end(), content.begin() + 100);
    RequestParser parser;
    const std::vector<Seen> seen = Parse(parser, PackageFrame({3}, content, 1));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].code, FRAME_DATA);
}

TEST(RequestParser, ResumesRightAfterTheFirstSyncByteOfABadFrame) {
    // A package frame whose payload check fails and whose payload hides a good query: once the
    // package is refused, the query inside it must be found.
    const Bytes inner = QueryFrame({3}, 5);
    Bytes content(512, 0x55);
    std::copy(inner.begin(), inner.end(), content.begin() + 100);
    Bytes broken = PackageFrame({3}, content, 1);
    broken.back() ^= 0xFF;
    RequestParser parser;
    std::vector<Seen> seen = Parse(parser, broken);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].code, FRAME_QUERY);
    EXPECT_EQ(seen[0].payload[0], 5);

    // A cut-off frame: its header check fails on the bytes of the frame that follows, which
    // starts inside it and must still be found.
    const Bytes cut = QueryFrame({1}, 0);
    RequestParser second;
    seen = Parse(second, Cat({Bytes(cut.begin(), cut.begin() + 9), CheckFrame({7}, {1, 1, 2, 2})}));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].code, FRAME_CHECK);
    EXPECT_EQ(second.stats().badHeaderCheck, 1u);
}

TEST(RequestParser, EveryGoodFrameSurvivesAnyMixOfNoiseAndBrokenFrames) {
    std::mt19937 rng(11);
    const Bytes content = Pattern(512, 2);
    const std::vector<Bytes> kinds = {QueryFrame({1}, 2), CheckFrame({0}, {1, 2, 3, 4}),
                                      PackageFrame({0, 5}, content, 1), ClearFrame({3}),
                                      DeleteFrame({2}, {"A", "B", "C"})};
    Bytes stream;
    std::vector<uint8_t> expectCodes;
    for (int i = 0; i < 2000; ++i) {
        Bytes f = kinds[rng() % kinds.size()];
        switch (rng() % 4) {
        case 0: // good
            expectCodes.push_back(f[16]);
            break;
        case 1: // one byte hit
            f[rng() % f.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
            break;
        case 2: // cut short before its header is complete (a frame cut inside its payload
                // takes its check from whatever follows, and passes one time in 256)
            f.resize(1 + rng() % (kSyncSize + kRequestHeaderSize - 1));
            break;
        default: // noise, rich in sync bytes
            for (uint8_t& b : f)
                b = static_cast<uint8_t>(rng() % 2 ? kSyncPattern[rng() % 2] : rng());
        }
        stream.insert(stream.end(), f.begin(), f.end());
    }
    RequestParser parser;
    std::vector<uint8_t> codes;
    for (size_t i = 0; i < stream.size(); i += 61)
        parser.Feed(stream.data() + i, std::min<size_t>(61, stream.size() - i),
                    [&](const Request& r) { codes.push_back(r.code); });
    EXPECT_EQ(codes, expectCodes);
}

TEST(RequestParser, StaysBoundedOnEndlessGarbage) {
    std::mt19937 rng(7);
    Bytes noise(200000);
    for (uint8_t& b : noise)
        b = static_cast<uint8_t>(rng() % 3 == 0 ? kSyncPattern[rng() % 2] : rng());
    RequestParser parser;
    size_t frames = 0;
    for (size_t i = 0; i < noise.size(); i += 997)
        parser.Feed(noise.data() + i, std::min<size_t>(997, noise.size() - i),
                    [&](const Request&) { ++frames; });
    EXPECT_EQ(frames, 0u);
    EXPECT_LT(parser.buffered(), RequestParser::kMaxFrame);
    // And a good frame right after the noise is still understood.
    const Bytes good = QueryFrame({0}, 0);
    EXPECT_EQ(
        Parse(parser, Cat({Bytes(kSyncPattern, kSyncPattern + 6), Bytes(40, 0), good})).size(), 1u);
}

} // namespace
} // namespace nodesim::test
