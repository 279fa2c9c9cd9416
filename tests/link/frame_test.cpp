#include "link/Frame.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

uint8_t CrcOf(const char* s) {
    return Crc8(reinterpret_cast<const uint8_t*>(s), std::strlen(s));
}

TEST(Crc8, CheckValues) {
    EXPECT_EQ(Crc8(nullptr, 0), 0);
    EXPECT_EQ(CrcOf("abc"), 0x84);
    EXPECT_EQ(CrcOf("123456789"), 0xDC);
    const uint8_t zero = 0;
    EXPECT_EQ(Crc8(&zero, 1), 0xFF);
}

TEST(Crc8, EqualsPlainCrcWithInitAndXorOut54) {
    // Same routine written the textbook way: init 0x54, poly 0x07, xorout 0x54. Every length up
    // to five words and a package's, from an aligned start and an odd one, so that the word-wise
    // part and the byte-wise tail both meet every split.
    std::vector<uint8_t> data(520);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 37 + 11);
    std::vector<size_t> lengths{514};
    for (size_t len = 0; len <= 40; ++len)
        lengths.push_back(len);
    for (size_t from : {0u, 3u})
        for (size_t len : lengths) {
            uint8_t c = 0x54;
            for (size_t i = from; i < from + len; ++i) {
                c ^= data[i];
                for (int b = 0; b < 8; ++b)
                    c = static_cast<uint8_t>((c & 0x80) ? (c << 1) ^ 0x07 : c << 1);
            }
            EXPECT_EQ(Crc8(data.data() + from, len), c ^ 0x54) << len << " from " << from;
        }
}

TEST(RequestFrames, QueryForNodeNineCarriesItsMaskBit) {
    uint8_t mask[8] = {};
    MaskSet(mask, 9);
    uint8_t out[64];
    ASSERT_EQ(BuildQueryRequest(out, mask, 3), 14u);
    const uint8_t expectMask[8] = {0x00, 0x02, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(out, expectMask, 8));
    EXPECT_EQ(out[8], 2);
    EXPECT_EQ(out[9], 0);
    EXPECT_EQ(out[10], FRAME_QUERY);
    EXPECT_EQ(out[11], Crc8(out, 11));
    EXPECT_EQ(out[12], 3);
    EXPECT_EQ(out[13], Crc8(out + 12, 1));
}

TEST(RequestFrames, ClearIsTwelveBytesAfterSync) {
    uint8_t mask[8] = {0x05};
    uint8_t out[64];
    ASSERT_EQ(BuildClearRequest(out, mask), 12u);
    EXPECT_EQ(out[8], 0);
    EXPECT_EQ(out[9], 0);
    EXPECT_EQ(out[10], FRAME_DELETE);
    EXPECT_EQ(out[11], Crc8(out, 11));
}

TEST(RequestFrames, DataFramesAreHeadAndPackageSized) {
    uint8_t mask[8] = {1};
    std::vector<uint8_t> pkg(kPackageSize, 0xAB), out(600);
    EXPECT_EQ(kSyncSize + BuildDataRequest(out.data(), mask, pkg.data(), kPackageSize), 533u);
    EXPECT_EQ(out[8], 0x03);
    EXPECT_EQ(out[9], 0x02);
    EXPECT_EQ(0, std::memcmp(out.data() + 12, pkg.data(), kPackageSize));
    EXPECT_EQ(kSyncSize + BuildDataRequest(out.data(), mask, pkg.data(), kHeadSize), 41u);
}

TEST(RequestFrames, DeleteOfThirtyTwoNames) {
    uint8_t mask[8] = {1};
    std::vector<uint8_t> names(32 * 12), out(512);
    for (int i = 0; i < 32; ++i)
        ASSERT_TRUE(WriteDeleteName(names.data() + 12 * i, "FILE    DST", 11));
    const size_t n = BuildDeleteRequest(out.data(), mask, names.data(), 32);
    EXPECT_EQ(kSyncSize + n, 404u);
    EXPECT_EQ(out[8], 0x82);
    EXPECT_EQ(out[9], 0x01);
    EXPECT_EQ(out[12], 32);
    EXPECT_EQ(out[13 + 384], Crc8(out.data() + 12, 385));
    // The name field is zero-padded.
    EXPECT_EQ(out[13 + 11], 0);
}

TEST(RequestFrames, DeleteNameRules) {
    uint8_t field[12];
    std::memset(field, 0x55, sizeof field);
    EXPECT_FALSE(WriteDeleteName(field, "", 0));
    EXPECT_FALSE(WriteDeleteName(field, "ABCDEFGHIJKLM", 13));
    EXPECT_EQ(field[0], 0x55); // untouched on refusal
    EXPECT_TRUE(WriteDeleteName(field, "ABCDEFGHIJKL", 12));
    EXPECT_EQ(0, std::memcmp(field, "ABCDEFGHIJKL", 12));
    EXPECT_TRUE(WriteDeleteName(field, "AB", 2));
    EXPECT_EQ(field[2], 0);
    EXPECT_EQ(field[11], 0);
}

TEST(ReplyFrames, EmptyListBlockHasThreeByteBody) {
    const uint8_t body[2] = {1, 0};
    uint8_t out[32];
    ASSERT_EQ(BuildReplyFrame(out, body, 2), 12u);
    EXPECT_EQ(GetLe16(out + 6), 3u);
    EXPECT_EQ(out[8], Crc8(out + 6, 2));
    EXPECT_TRUE(BodyCheckOk(out + 9, 3));
    ListBlock lb;
    ASSERT_TRUE(DecodeListBlock(out + 9, 3, lb));
    EXPECT_EQ(lb.block, 1);
    EXPECT_EQ(lb.count, 0);
}

TEST(ReplyBodies, StorageRoundTrip) {
    StorageInfo in{1457664, 512, 224, 3, 2000};
    uint8_t body[16];
    const size_t n = BuildStorageBody(body, in);
    ASSERT_EQ(n, 13u);
    body[n] = Crc8(body, n);
    StorageInfo out;
    ASSERT_TRUE(DecodeStorageInfo(body, n + 1, out));
    EXPECT_EQ(out.totalBytes, 1457664u);
    EXPECT_EQ(out.clusterBytes, 512);
    EXPECT_EQ(out.maxFiles, 224);
    EXPECT_EQ(out.fileCount, 3);
    EXPECT_EQ(out.freeUnits, 2000);
    EXPECT_FALSE(DecodeStorageInfo(body, 13, out));
}

TEST(ReplyBodies, ListBlockNeverReachesPastItsBody) {
    // Announces 32 entries but carries two.
    uint8_t body[2 + 32 + 1] = {2, 32};
    ListBlock lb;
    ASSERT_TRUE(DecodeListBlock(body, sizeof body, lb));
    EXPECT_EQ(lb.count, 32);
    EXPECT_EQ(lb.available, 2);
}

TEST(ReplyBodies, CheckBodyCarriesBitmapOnlyWithBitFour) {
    uint8_t bitmap[kBitmapSize] = {0x03};
    uint8_t body[400];
    EXPECT_EQ(BuildCheckBody(body, 0, bitmap), 1u);
    EXPECT_EQ(BuildCheckBody(body, kCheckNeedPackages, bitmap), 361u);
    EXPECT_EQ(body[1], 0x03);
}

} // namespace
