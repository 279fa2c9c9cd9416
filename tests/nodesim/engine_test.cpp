#include "Engine.h"
#include "NodeSim.h"
#include "TestFrames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace nodesim::test {
namespace {

constexpr FileTag kTag{0x10, 0x20, 0x30, 0x40};
constexpr FileTag kOtherTag{0x99, 0, 0, 1};

Config Nodes(int count) {
    Config c;
    c.nodeCount = count;
    return c;
}

std::string Numbered(int i) {
    return NodeNameField("F" + std::to_string(i) + ".DST");
}

StorageInfo QueryStorage(Engine& e, int node) {
    const Bytes body = OnlyReplyBody(e, QueryFrame({node}, 0));
    StorageInfo info;
    EXPECT_TRUE(DecodeStorageInfo(body.data(), body.size(), info));
    return info;
}

// Status byte and, with bit 4, the need bitmap of a check reply.
struct CheckAnswer {
    uint8_t status = 0xFF;
    Bytes bitmap;
};
CheckAnswer Check(Engine& e, int node, const FileTag& tag) {
    const Bytes body = OnlyReplyBody(e, CheckFrame({node}, tag));
    CheckAnswer a;
    if (body.empty())
        return a;
    a.status = body[0];
    if (body.size() == kFullCheckBodySize)
        a.bitmap.assign(body.begin() + 1, body.end() - 1);
    else
        EXPECT_EQ(body.size(), 2u);
    return a;
}
bool Needs(const CheckAnswer& a, int package) {
    return (a.bitmap.at(static_cast<size_t>(package / 8)) >> (package % 8)) & 1;
}

class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/nodesim-test-XXXXXX";
        path_ = mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

Bytes ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// --- Query

TEST(EngineQuery, ReportsStorageAndListsForZeroFortyAnd224Files) {
    for (int count : {0, 40, 224}) {
        SCOPED_TRACE(count);
        Engine e(Nodes(2));
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(e.AddFile(1, Numbered(i), Bytes(1 + i), {}));
        const StorageInfo info = QueryStorage(e, 1);
        EXPECT_EQ(info.totalBytes, 1457664u);
        EXPECT_EQ(info.clusterBytes, 512);
        EXPECT_EQ(info.maxFiles, 224);
        EXPECT_EQ(info.fileCount, count);
        EXPECT_EQ(info.freeUnits, 2847 - count); // every file under 512 bytes takes one unit

        int listed = 0;
        for (uint8_t k = 1; k <= 7; ++k) {
            const Bytes body = OnlyReplyBody(e, QueryFrame({1}, k));
            ListBlock lb;
            ASSERT_TRUE(DecodeListBlock(body.data(), body.size(), lb));
            EXPECT_EQ(lb.block, k);
            EXPECT_EQ(lb.count, std::clamp(count - 32 * (k - 1), 0, 32));
            ASSERT_EQ(lb.available, lb.count);
            for (int j = 0; j < lb.count; ++j, ++listed) {
                EXPECT_EQ(std::string(reinterpret_cast<const char*>(lb.first + 16 * j), 12),
                          Numbered(listed));
                EXPECT_EQ(GetLe32(lb.first + 16 * j + 12), static_cast<uint32_t>(1 + listed));
            }
        }
        EXPECT_EQ(listed, count);
    }
}

TEST(EngineQuery, FreeRoomCountsWholeClusters) {
    Config c = Nodes(1);
    c.capacityBytes = 100000;
    c.clusterBytes = 1000;
    Engine e(c);
    ASSERT_TRUE(e.AddFile(0, Numbered(1), Bytes(1), {}));    // 1 unit
    ASSERT_TRUE(e.AddFile(0, Numbered(2), Bytes(1000), {})); // 1 unit
    ASSERT_TRUE(e.AddFile(0, Numbered(3), Bytes(1001), {})); // 2 units
    const StorageInfo info = QueryStorage(e, 0);
    EXPECT_EQ(info.totalBytes, 100000u);
    EXPECT_EQ(info.clusterBytes, 1000);
    EXPECT_EQ(info.fileCount, 3);
    EXPECT_EQ(info.freeUnits, 96);
    EXPECT_FALSE(e.AddFile(0, Numbered(4), Bytes(96001), {})); // would need 97 units
    EXPECT_TRUE(e.AddFile(0, Numbered(4), Bytes(96000), {}));
    EXPECT_EQ(QueryStorage(e, 0).freeUnits, 0);
}

// --- Addressing

TEST(EngineAddressing, AnswersOnlyAMaskOfExactlyOneExistingNode) {
    Engine e(Nodes(4));
    EXPECT_EQ(Send(e, QueryFrame({0}, 0)).size(), 1u);
    EXPECT_EQ(Send(e, QueryFrame({3}, 0)).size(), 1u);
    EXPECT_TRUE(Send(e, QueryFrame({0, 1}, 0)).empty());
    EXPECT_TRUE(Send(e, QueryFrame({}, 0)).empty());
    EXPECT_TRUE(Send(e, QueryFrame({4}, 0)).empty()); // beyond the node count
    EXPECT_TRUE(Send(e, CheckFrame({1, 2}, kTag)).empty());
    Mask withHighByte{2};
    withHighByte.bits[5] = 1; // bytes 4..7 are never any node's, but they still make two bits
    EXPECT_TRUE(Send(e, QueryFrame(withHighByte, 0)).empty());
    EXPECT_TRUE(Send(e, QueryFrame({1}, 8)).empty()); // no such block
    EXPECT_EQ(e.stats().badContent, 1u);
    // Broadcasts are never answered, even to a single node.
    EXPECT_TRUE(Send(e, HeadFrame({1}, Numbered(1), 10, kTag)).empty());
    EXPECT_TRUE(Send(e, PackageFrame({1}, Bytes(10, 1), 1)).empty());
    EXPECT_TRUE(Send(e, DeleteFrame({1}, {"X"})).empty());
    EXPECT_TRUE(Send(e, ClearFrame({1})).empty());
    EXPECT_EQ(e.stats().repliesSent, 2u);
    const Statistics s = e.stats();
    EXPECT_EQ(s.framesByCode[0], 7u);
    EXPECT_EQ(s.framesByCode[1], 2u);
    EXPECT_EQ(s.framesByCode[2], 1u);
    EXPECT_EQ(s.framesByCode[3], 2u);
}

// --- Reception

TEST(EngineReception, AssemblesFilesByteForByte) {
    for (size_t length :
         {size_t{1}, size_t{512}, size_t{513}, size_t{1300}, size_t{kMaxSendBytes}}) {
        SCOPED_TRACE(length);
        Engine e(Nodes(3));
        const Bytes content = Pattern(length, static_cast<uint32_t>(length));
        const std::string name = NodeNameField("design.dst");
        SendFile(e, {0, 2}, name, content, kTag);
        for (int node : {0, 2}) {
            const auto held = e.fileBytes(node, name);
            ASSERT_TRUE(held.has_value());
            EXPECT_TRUE(*held == content); // the padding of the last package is gone
            EXPECT_EQ(Check(e, node, kTag).status, 0);
            const std::vector<FileInfo> files = e.files(node);
            ASSERT_EQ(files.size(), 1u);
            EXPECT_EQ(files[0].name, name);
            EXPECT_EQ(files[0].length, length);
            EXPECT_EQ(files[0].tag, kTag);
        }
        EXPECT_TRUE(e.files(1).empty()); // not addressed
    }
}

TEST(EngineReception, TakesPackagesInAnyOrderAndReportsWhatIsMissing) {
    Engine e(Nodes(1));
    const Bytes content = Pattern(10 * 512 + 7, 3); // 11 packages
    const std::string name = NodeNameField("a.dsb");
    Send(e, HeadFrame({0}, name, static_cast<uint32_t>(content.size()), kTag));

    CheckAnswer a = Check(e, 0, kTag);
    ASSERT_EQ(a.status, kCheckNeedPackages);
    ASSERT_EQ(a.bitmap.size(), kBitmapSize);
    EXPECT_FALSE(Needs(a, 0)); // the head arrived
    for (int i = 1; i <= 11; ++i)
        EXPECT_TRUE(Needs(a, i)) << i;
    for (int i = 12; i < 8 * static_cast<int>(kBitmapSize); ++i)
        ASSERT_FALSE(Needs(a, i)) << i;

    for (int i : {11, 3, 3, 1, 7})
        Send(e, PackageFrame({0}, content, i));
    Send(e, PackageFrame({0}, content, 12)); // beyond the file: ignored
    a = Check(e, 0, kTag);
    ASSERT_EQ(a.status, kCheckNeedPackages);
    for (int i = 1; i <= 11; ++i)
        EXPECT_EQ(Needs(a, i), i != 1 && i != 3 && i != 7 && i != 11) << i;
    EXPECT_FALSE(e.fileBytes(0, name).has_value());

    for (int i : {2, 4, 5, 6, 8, 9, 10})
        Send(e, PackageFrame({0}, content, i));
    EXPECT_EQ(Check(e, 0, kTag).status, 0);
    EXPECT_TRUE(*e.fileBytes(0, name) == content);
    // The log shows the head and every package taken, duplicates included.
    const std::vector<uint16_t> log = e.acceptedPackages(0);
    const std::vector<uint16_t> expect = {0, 11, 3, 3, 1, 7, 2, 4, 5, 6, 8, 9, 10};
    EXPECT_EQ(log, expect);
    EXPECT_EQ(e.nodeStats(0).dataFramesAddressed, 14u);
    EXPECT_EQ(e.nodeStats(0).filesCompleted, 1u);
}

// The need bitmap across its 64-bit words, and a later head (after a reset too) that must not
// inherit the packages an earlier, longer reception took.
TEST(EngineReception, NeedBitmapSpansWordsAndStartsEmptyForEachHead) {
    Engine e(Nodes(1));
    const Bytes big = Pattern(129 * 512 + 1, 5); // 130 packages
    Send(e, HeadFrame({0}, NodeNameField("b.dsb"), static_cast<uint32_t>(big.size()), kTag));
    const std::vector<int> sent = {1, 62, 63, 64, 65, 127, 128, 130};
    for (int i : sent)
        Send(e, PackageFrame({0}, big, i));
    CheckAnswer a = Check(e, 0, kTag);
    ASSERT_EQ(a.status, kCheckNeedPackages);
    EXPECT_FALSE(Needs(a, 0));
    for (int i = 1; i <= 130; ++i)
        EXPECT_EQ(Needs(a, i), std::find(sent.begin(), sent.end(), i) == sent.end()) << i;
    for (int i = 131; i < 8 * static_cast<int>(kBitmapSize); ++i)
        ASSERT_FALSE(Needs(a, i)) << i;

    const Bytes next = Pattern(69 * 512 + 3, 6); // 70 packages
    for (int reset = 0; reset < 2; ++reset) {
        if (reset)
            e.Reset(e.config());
        Send(e,
             HeadFrame({0}, NodeNameField("c.dsb"), static_cast<uint32_t>(next.size()), kOtherTag));
        a = Check(e, 0, kOtherTag);
        ASSERT_EQ(a.status, kCheckNeedPackages) << reset;
        for (int i = 1; i < 8 * static_cast<int>(kBitmapSize); ++i)
            ASSERT_EQ(Needs(a, i), i <= 70) << i << " after reset " << reset;
        Send(e, PackageFrame({0}, next, 64));
        Send(e, PackageFrame({0}, big, 130)); // beyond this file: ignored
    }
}

// The room of a file let go (deleted, cleared, replaced, reset) is used again for later files:
// each later file holds its own bytes, none of the earlier ones.
TEST(EngineReception, FilesStoredAfterOthersWentHoldOnlyTheirOwnBytes) {
    Engine e(Nodes(1));
    const std::string a = NodeNameField("a.dsb"), b = NodeNameField("b.dsb");
    const Bytes first = Pattern(3 * 512 + 9, 7), second = Pattern(700, 8), third = Pattern(5, 9);
    SendFile(e, {0}, a, first, kTag);
    Send(e, DeleteFrame({0}, {a}));
    SendFile(e, {0}, b, second, kOtherTag);
    EXPECT_TRUE(*e.fileBytes(0, b) == second);
    SendFile(e, {0}, b, third, kTag); // replaces b
    EXPECT_TRUE(*e.fileBytes(0, b) == third);
    Send(e, ClearFrame({0}));
    SendFile(e, {0}, a, second, kOtherTag);
    EXPECT_TRUE(*e.fileBytes(0, a) == second);
    e.Reset(e.config());
    SendFile(e, {0}, b, third, kOtherTag);
    EXPECT_TRUE(*e.fileBytes(0, b) == third);
    EXPECT_FALSE(e.fileBytes(0, a).has_value());
}

TEST(EngineReception, RefusesMalformedHeadsAndPackages) {
    Engine e(Nodes(1));
    Bytes numberedHead = HeadFrame({0}, Numbered(1), 100, kTag);
    numberedHead[18] = 1; // a head must be package 0 ...
    numberedHead[18 + 22] = Crc8(numberedHead.data() + 18, 22);
    Send(e, numberedHead);
    Send(e, HeadFrame({0}, Numbered(1), 0, kTag));                 // ... of a non-empty file
    Send(e, HeadFrame({0}, Numbered(1), kMaxSendBytes + 1, kTag)); // that can be sent
    EXPECT_EQ(e.stats().badContent, 3u);
    EXPECT_EQ(Check(e, 0, kTag).status, kCheckNeedHead);
    EXPECT_EQ(e.nodeStats(0).headsAccepted, 0u);
}

TEST(EngineReception, CheckStatuses) {
    Config c = Nodes(2);
    c.capacityBytes = 10 * 512;
    c.maxFiles = 2;
    Engine e(c);
    EXPECT_EQ(Check(e, 0, kTag).status, kCheckNeedHead); // nothing known of the tag

    // Too big for the free room: 11 clusters into 10.
    Send(e, HeadFrame({0}, Numbered(1), 10 * 512 + 1, kTag));
    EXPECT_EQ(Check(e, 0, kTag).status, kCheckNoRoom);
    EXPECT_EQ(Check(e, 0, kOtherTag).status, kCheckNeedHead); // a tag without a head

    // Room counts the file of the same name that the new one replaces.
    ASSERT_TRUE(e.AddFile(1, Numbered(1), Bytes(6 * 512), kOtherTag));
    Send(e, HeadFrame({1}, Numbered(1), 8 * 512, kTag));
    EXPECT_EQ(Check(e, 1, kTag).status, kCheckNeedPackages);
    Send(e, HeadFrame({1}, Numbered(2), 8 * 512, kTag));
    EXPECT_EQ(Check(e, 1, kTag).status, kCheckNoRoom);

    // A full table refuses a new name but not a replacement.
    ASSERT_TRUE(e.AddFile(1, Numbered(2), Bytes(10), kOtherTag));
    Send(e, HeadFrame({1}, Numbered(3), 10, kTag));
    EXPECT_EQ(Check(e, 1, kTag).status, kCheckFileNumExceed);
    const Bytes content = Pattern(300, 9);
    SendFile(e, {1}, Numbered(2), content, kTag);
    EXPECT_EQ(Check(e, 1, kTag).status, 0);
    EXPECT_EQ(e.files(1).size(), 2u);
    EXPECT_TRUE(*e.fileBytes(1, Numbered(2)) == content);
}

TEST(EngineReception, AHeadForAFileAlreadyHeldNeedsNothingMore) {
    Engine e(Nodes(1));
    const Bytes content = Pattern(2000, 4);
    const std::string name = NodeNameField("same.upt");
    SendFile(e, {0}, name, content, kTag);
    Send(e, HeadFrame({0}, name, 2000, kTag));
    EXPECT_EQ(Check(e, 0, kTag).status, 0);
    // Any difference in tag or length starts a new reception.
    Send(e, HeadFrame({0}, name, 2000, kOtherTag));
    EXPECT_EQ(Check(e, 0, kOtherTag).status, kCheckNeedPackages);
    Send(e, HeadFrame({0}, name, 1999, kTag));
    const CheckAnswer a = Check(e, 0, kTag);
    EXPECT_EQ(a.status, kCheckNeedPackages);
    EXPECT_TRUE(Needs(a, 4));
    // Until it completes, the node keeps the file it held.
    EXPECT_TRUE(*e.fileBytes(0, name) == content);
}

TEST(EngineReception, ANewFileOfTheSameNameReplacesTheOld) {
    Engine e(Nodes(1));
    const std::string name = NodeNameField("x.dst");
    SendFile(e, {0}, name, Pattern(5000, 1), kTag);
    const Bytes second = Pattern(700, 2);
    SendFile(e, {0}, name, second, kOtherTag);
    ASSERT_EQ(e.files(0).size(), 1u);
    EXPECT_TRUE(*e.fileBytes(0, name) == second);
    EXPECT_EQ(e.files(0)[0].tag, kOtherTag);
    EXPECT_EQ(QueryStorage(e, 0).freeUnits, 2847 - 2);
}

// --- Delete and clear

TEST(EngineDelete, RemovesNamedFilesAndClearRemovesAll) {
    Engine e(Nodes(3));
    for (int node : {0, 1, 2})
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(e.AddFile(node, Numbered(i), Bytes(100), {}));
    // Delete names are zero-padded, the stored fields blank-padded: they still match.
    Send(e, DeleteFrame({0, 1}, {"F1      DST", "F3      DST ", "NOPE"}));
    for (int node : {0, 1}) {
        const std::vector<FileInfo> left = e.files(node);
        ASSERT_EQ(left.size(), 2u);
        EXPECT_EQ(left[0].name, Numbered(0));
        EXPECT_EQ(left[1].name, Numbered(2));
    }
    EXPECT_EQ(e.files(2).size(), 4u);
    EXPECT_EQ(QueryStorage(e, 0).fileCount, 2);
    Send(e, DeleteFrame({0}, {"F0      DS"})); // a different name
    EXPECT_EQ(e.files(0).size(), 2u);

    Send(e, ClearFrame({0, 2}));
    EXPECT_TRUE(e.files(0).empty());
    EXPECT_EQ(e.files(1).size(), 2u);
    EXPECT_TRUE(e.files(2).empty());
    EXPECT_EQ(QueryStorage(e, 2).freeUnits, 2847);
}

TEST(EngineDelete, ANodeCanBeToldToIgnoreTheNextDeletes) {
    Engine e(Nodes(2));
    for (int node : {0, 1})
        ASSERT_TRUE(e.AddFile(node, Numbered(1), Bytes(10), {}));
    e.IgnoreNextDeletes(1, 2);
    Send(e, DeleteFrame({0, 1}, {"F1      DST"}));
    Send(e, ClearFrame({1}));
    EXPECT_TRUE(e.files(0).empty());
    EXPECT_EQ(e.files(1).size(), 1u);
    EXPECT_EQ(e.nodeStats(1).deletesIgnored, 2u);
    Send(e, ClearFrame({1}));
    EXPECT_TRUE(e.files(1).empty());
}

// --- Reset

TEST(EngineReset, StartsAgainAsANewEngineOfTheConfigurationWould) {
    Config c = Nodes(8);
    c.dropRate = 0.5;
    Engine e(c);
    // Every kind of node state, on scattered nodes: files sent and added, a reception half done,
    // deletes to ignore, statistics, and the random source drawn from.
    const Bytes content = Pattern(1500, 5);
    SendFile(e, {1, 6}, Numbered(1), content, kTag);
    ASSERT_TRUE(e.AddFile(7, Numbered(2), Bytes(100), kTag));
    Send(e, HeadFrame({3}, Numbered(3), 2000, kOtherTag));
    Send(e, PackageFrame({3}, Pattern(2000, 6), 1));
    e.IgnoreNextDeletes(4, 1);
    for (int i = 0; i < 20; ++i)
        Send(e, QueryFrame({i % 8}, 0));

    Config next = Nodes(8);
    next.dropRate = 0.5;
    e.Reset(next);
    Engine fresh(next);
    for (int node = 0; node < 8; ++node) {
        SCOPED_TRACE(node);
        EXPECT_TRUE(e.files(node).empty());
        EXPECT_EQ(e.nodeStats(node).dataFramesAddressed, 0u);
        EXPECT_EQ(e.nodeStats(node).repliesSent, 0u);
        EXPECT_TRUE(e.acceptedPackages(node).empty());
    }
    EXPECT_EQ(e.stats().repliesSent, 0u);
    // The same answers as the new engine, drops included: the half-done reception is gone, and
    // node 4 deletes again.
    for (int i = 0; i < 40; ++i) {
        const Bytes frame = i % 2 ? CheckFrame({3}, kOtherTag) : QueryFrame({i % 8}, 0);
        ASSERT_EQ(Send(e, frame), Send(fresh, frame)) << i;
    }
    ASSERT_TRUE(e.AddFile(4, Numbered(4), Bytes(10), kTag));
    Send(e, ClearFrame({4}));
    EXPECT_TRUE(e.files(4).empty());
}

// --- Faults

std::vector<int> AnsweredQueries(uint64_t seed, double rate, int frames) {
    Config c = Nodes(2);
    c.seed = seed;
    c.dropRate = rate;
    Engine e(c);
    std::vector<int> answered;
    for (int i = 0; i < frames; ++i)
        if (!Send(e, QueryFrame({i % 2}, 0)).empty())
            answered.push_back(i);
    return answered;
}

TEST(EngineFaults, DropsFollowTheSeed) {
    const std::vector<int> a = AnsweredQueries(42, 0.5, 400);
    EXPECT_EQ(a, AnsweredQueries(42, 0.5, 400));
    EXPECT_NE(a, AnsweredQueries(43, 0.5, 400));
    EXPECT_GT(a.size(), 120u);
    EXPECT_LT(a.size(), 280u);
    EXPECT_EQ(AnsweredQueries(42, 0, 50).size(), 50u);
    EXPECT_TRUE(AnsweredQueries(42, 1, 50).empty());
}

TEST(EngineFaults, PerNodeDropRateAppliesToBroadcastsToo) {
    Config c = Nodes(2);
    c.setNodeDropRate(1, 1.0);
    Engine e(c);
    const Bytes content = Pattern(1500, 5);
    SendFile(e, {0, 1}, Numbered(1), content, kTag);
    EXPECT_TRUE(e.fileBytes(0, Numbered(1)).has_value());
    EXPECT_TRUE(e.files(1).empty());
    EXPECT_EQ(e.nodeStats(1).dataFramesAddressed, 4u); // counted though dropped
    EXPECT_EQ(e.nodeStats(1).framesDropped, 4u);
    EXPECT_TRUE(Send(e, QueryFrame({1}, 0)).empty());
    e.SetDropRate(1, -1); // back to the common rate, 0
    EXPECT_EQ(Send(e, QueryFrame({1}, 0)).size(), 1u);
}

TEST(EngineFaults, ASilentNodeNeitherHearsNorAnswersUntilRevived) {
    Config c = Nodes(2);
    c.setSilent(1);
    Engine e(c);
    const Bytes content = Pattern(600, 6);
    SendFile(e, {0, 1}, Numbered(1), content, kTag);
    EXPECT_TRUE(Send(e, QueryFrame({1}, 0)).empty());
    EXPECT_TRUE(Send(e, CheckFrame({1}, kTag)).empty());
    EXPECT_TRUE(e.files(1).empty());
    EXPECT_EQ(e.files(0).size(), 1u);
    e.SetSilent(1, false);
    EXPECT_EQ(Check(e, 1, kTag).status, kCheckNeedHead);
}

TEST(EngineFaults, EveryCorruptedReplyIsDetectableByTheStation) {
    Config c = Nodes(1);
    c.corruptRate = 1;
    c.seed = 5;
    Engine e(c);
    for (int i = 0; i < 200; ++i) {
        const std::vector<Bytes> replies = Send(e, QueryFrame({0}, static_cast<uint8_t>(i % 2)));
        ASSERT_EQ(replies.size(), 1u);
        const Bytes& r = replies[0];
        const bool intact = r.size() >= 9 && std::memcmp(r.data(), kSyncPattern, 6) == 0 &&
                            Crc8(r.data() + 6, 2) == r[8] && r.size() == 9 + GetLe16(&r[6]) &&
                            BodyCheckOk(r.data() + 9, r.size() - 9);
        ASSERT_FALSE(intact) << "reply " << i;
    }
    EXPECT_EQ(e.stats().repliesCorrupted, 200u);
}

// --- Folders

TEST(EngineFolders, PreloadsEveryNodeAndMirrorsTheStore) {
    TempDir dir;
    fs::create_directories(dir.path() / "preload");
    {
        // An earlier run's store, with a file the node no longer holds.
        Config earlier = Nodes(2);
        earlier.storeDir = (dir.path() / "store").string();
        Engine e(earlier);
        std::string error;
        ASSERT_TRUE(e.Prepare(&error)) << error;
    }
    std::ofstream(dir.path() / "store" / "node-01" / "STALE.DST") << "old";
    const Bytes pre = Pattern(3000, 8);
    std::ofstream(dir.path() / "preload" / "verylongname.dst", std::ios::binary)
        .write(reinterpret_cast<const char*>(pre.data()), static_cast<std::streamsize>(pre.size()));
    std::ofstream(dir.path() / "preload" / "b.upt") << "tiny";

    Config c = Nodes(2);
    c.preloadDir = (dir.path() / "preload").string();
    c.storeDir = (dir.path() / "store").string();
    Engine e(c);
    std::string error;
    ASSERT_TRUE(e.Prepare(&error)) << error;
    const fs::path node0 = dir.path() / "store" / "node-00";
    const fs::path node1 = dir.path() / "store" / "node-01";
    for (int node : {0, 1}) {
        ASSERT_EQ(e.files(node).size(), 2u);
        EXPECT_TRUE(*e.fileBytes(node, "VERYLONGDST ") == pre);
        EXPECT_EQ(e.storage(node).freeUnits, 2847 - 6 - 1);
    }
    EXPECT_FALSE(fs::exists(node1 / "STALE.DST"));
    EXPECT_TRUE(ReadFile(node1 / "VERYLONG.DST") == pre);
    EXPECT_EQ(ReadFile(node0 / "B.UPT"), (Bytes{'t', 'i', 'n', 'y'}));

    const Bytes sent = Pattern(1025, 9);
    SendFile(e, {1}, NodeNameField("new.dsb"), sent, kTag);
    EXPECT_TRUE(ReadFile(node1 / "NEW.DSB") == sent);
    EXPECT_FALSE(fs::exists(node0 / "NEW.DSB"));
    Send(e, DeleteFrame({1}, {"B       UPT"}));
    EXPECT_FALSE(fs::exists(node1 / "B.UPT"));
    EXPECT_TRUE(fs::exists(node0 / "B.UPT"));
    Send(e, ClearFrame({0, 1}));
    EXPECT_TRUE(fs::is_empty(node0));
    EXPECT_TRUE(fs::is_empty(node1));
}

TEST(EngineFolders, AStoreOfFilesItDidNotWriteIsRefusedUnlessToldToClearIt) {
    TempDir dir;
    const fs::path store = dir.path() / "store";
    const fs::path elsewhere = dir.path() / "elsewhere";
    fs::create_directories(store / "node-00");
    fs::create_directories(elsewhere);
    std::ofstream(store / "node-00" / "REPORT.TXT") << "someone's file";
    std::ofstream(elsewhere / "PRECIOUS.DST") << "not the simulator's";
    Config c = Nodes(2);
    c.storeDir = store.string();
    const auto prepare = [](const Config& config) {
        Engine e(config);
        std::string error;
        return e.Prepare(&error) ? std::string() : error;
    };

    // A folder of files the simulator did not write: refused, nothing removed.
    std::string error = prepare(c);
    EXPECT_NE(error.find("REPORT.TXT was not written by the simulator"), std::string::npos)
        << error;
    EXPECT_TRUE(fs::exists(store / "node-00" / "REPORT.TXT"));

    // A node folder that is a link elsewhere: refused, and never followed.
    fs::remove_all(store);
    fs::create_directories(store);
    fs::create_directory_symlink(elsewhere, store / "node-01");
    error = prepare(c);
    EXPECT_NE(error.find("node-01 is a symbolic link"), std::string::npos) << error;
    EXPECT_TRUE(fs::exists(elsewhere / "PRECIOUS.DST"));

    // A link planted in a store of the simulator's own: refused too.
    fs::remove(store / "node-01");
    ASSERT_EQ(prepare(c), "");
    fs::create_symlink(elsewhere / "PRECIOUS.DST", store / "node-00" / "A.DST");
    error = prepare(c);
    EXPECT_NE(error.find("A.DST is a symbolic link"), std::string::npos) << error;

    // Told to clear it: the node folders are emptied and made real, links removed as links.
    fs::remove(store / "node-00" / "A.DST");
    fs::create_directory_symlink(elsewhere, store / "node-00" / "sub");
    std::ofstream(store / "node-00" / "REPORT.TXT") << "someone's file";
    fs::remove_all(store / "node-01");
    fs::create_directory_symlink(elsewhere, store / "node-01");
    c.clearStore = true;
    EXPECT_EQ(prepare(c), "");
    EXPECT_TRUE(fs::is_empty(store / "node-00"));
    EXPECT_FALSE(fs::is_symlink(store / "node-01"));
    EXPECT_TRUE(fs::is_empty(store / "node-01"));
    EXPECT_TRUE(fs::exists(elsewhere / "PRECIOUS.DST"));

    // A mirrored file is never written through a link planted under its temporary name.
    c.clearStore = false;
    Engine e(c);
    ASSERT_TRUE(e.Prepare(&error)) << error;
    fs::create_symlink(elsewhere / "PRECIOUS.DST", store / "node-00" / "NEW.DSB.part");
    SendFile(e, {0}, NodeNameField("new.dsb"), Pattern(700, 3), kTag);
    EXPECT_TRUE(ReadFile(store / "node-00" / "NEW.DSB") == Pattern(700, 3));
    EXPECT_EQ(ReadFile(elsewhere / "PRECIOUS.DST"),
              (Bytes{'n', 'o', 't', ' ', 't', 'h', 'e', ' ', 's', 'i', 'm', 'u', 'l', 'a', 't', 'o',
                     'r', '\'', 's'}));
}

TEST(EngineFolders, RefusesAPreloadThatDoesNotFit) {
    TempDir dir;
    std::ofstream(dir.path() / "big.dst") << std::string(2000, 'x');
    Config c = Nodes(1);
    c.capacityBytes = 1024;
    c.preloadDir = dir.path().string();
    Engine e(c);
    std::string error;
    EXPECT_FALSE(e.Prepare(&error));
    EXPECT_NE(error.find("big.dst"), std::string::npos) << error;
}

} // namespace
} // namespace nodesim::test
