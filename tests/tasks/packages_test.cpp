#include "TestSupport.h"
#include "link/CommCenter.h"
#include "tasks/TaskLayer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

using namespace testsupport;

namespace {

class Packages : public ::testing::Test {
protected:
    void SetUp() override {
        cc = std::make_unique<CCommCenter>();
        cc->channels[0].nodeCount.store(4);
    }
    // Writes a file of `size` bytes and builds it into channel 0's store.
    bool Build(size_t size, std::vector<uint8_t>* bytes = nullptr, const char* name = "f.dst") {
        auto data = DesignBytes(size, static_cast<uint32_t>(size));
        path = dir / name;
        if (!WriteFile(path, data))
            return false;
        if (bytes)
            *bytes = data;
        if (!ComputeFileTag(path, kMaxPrepareBytes, tag))
            return false;
        return cc->BuildPackages(0, path, tag);
    }
    TempDir dir;
    std::string path;
    uint8_t tag[4] = {};
    std::unique_ptr<CCommCenter> cc;
};

TEST_F(Packages, ExactlyOnePackageAt512Bytes) {
    std::vector<uint8_t> data;
    ASSERT_TRUE(Build(512, &data));
    const PackageStore& s = cc->stores[0];
    EXPECT_EQ(s.packageCount.load(), 1);
    EXPECT_EQ(GetLe16(s.packages[1]), 1u);
    EXPECT_EQ(0, std::memcmp(s.packages[1] + 2, data.data(), 512));
    EXPECT_EQ(s.packages[1][514], Crc8(s.packages[1], 514));
    EXPECT_EQ(s.storedPath, path);
    EXPECT_EQ(s.storeValid, 1);
}

TEST_F(Packages, ShortLastPackageIsZeroPadded) {
    // A longer file of non-zero bytes first, so that stale bytes would show in the padding.
    ASSERT_TRUE(WriteFile(dir / "long.dst", std::vector<uint8_t>(4000, 0xA5)));
    ASSERT_TRUE(ComputeFileTag(dir / "long.dst", kMaxPrepareBytes, tag));
    ASSERT_TRUE(cc->BuildPackages(0, dir / "long.dst", tag));
    std::vector<uint8_t> data;
    ASSERT_TRUE(Build(513, &data));
    const PackageStore& s = cc->stores[0];
    ASSERT_EQ(s.packageCount.load(), 2);
    EXPECT_EQ(GetLe16(s.packages[2]), 2u);
    EXPECT_EQ(s.packages[2][2], data[512]);
    for (int i = 3; i < 514; ++i)
        ASSERT_EQ(s.packages[2][i], 0) << i;
    EXPECT_EQ(s.packages[2][514], Crc8(s.packages[2], 514));
}

TEST_F(Packages, HeadCarriesNameLengthAndTag) {
    ASSERT_TRUE(Build(1000, nullptr, "pattern.dsb"));
    const uint8_t* head = cc->stores[0].packages[0];
    EXPECT_EQ(head[0], 0);
    EXPECT_EQ(head[1], 0);
    EXPECT_EQ(0, std::memcmp(head + 2, "PATTERN DSB ", 12));
    EXPECT_EQ(GetLe32(head + 14), 1000u);
    EXPECT_EQ(0, std::memcmp(head + 18, tag, 4));
    EXPECT_EQ(head[22], Crc8(head, 22));
}

TEST_F(Packages, LargestFileAndOneByteMore) {
    ASSERT_TRUE(Build(1457664));
    EXPECT_EQ(cc->stores[0].packageCount.load(), 2847);
    EXPECT_FALSE(Build(1457665, nullptr, "g.dst")); // prepared, but refused at head time
    EXPECT_NE(cc->stores[0].storedPath, dir / "g.dst");
}

TEST_F(Packages, PreparationLimits) {
    ASSERT_TRUE(WriteFile(dir / "max.dst", std::vector<uint8_t>(1474560, 1)));
    ASSERT_TRUE(WriteFile(dir / "over.dst", std::vector<uint8_t>(1474561, 1)));
    ASSERT_TRUE(WriteFile(dir / "empty.dst", {}));
    cc->PrepareFiles(0, {dir / "max.dst", dir / "over.dst", dir / "empty.dst", dir / "none.dst"});
    ASSERT_EQ(cc->preparedFiles[0].Count(), 1u);
    EXPECT_EQ(cc->preparedFiles[0].ItemAt(0)->path, dir / "max.dst");
}

TEST_F(Packages, ChangedContentIsRefusedAtHeadTime) {
    ASSERT_TRUE(Build(2000));
    ASSERT_TRUE(WriteFile(path, DesignBytes(2000, 99)));
    EXPECT_FALSE(cc->BuildPackages(0, path, tag));
    EXPECT_NE(cc->stores[0].storedPath, path);
}

TEST_F(Packages, StoreIsNotRebuiltWhileTheSenderUsesIt) {
    ASSERT_TRUE(Build(700));
    cc->channels[0].cmdType.store(CMD_SEND_PACKAGES);
    EXPECT_FALSE(cc->BuildPackages(0, path, tag));
}

TEST_F(Packages, TagFollowsContentAndLength) {
    uint8_t a[4], b[4], c[4];
    ASSERT_TRUE(WriteFile(dir / "a", {1, 2, 3}));
    ASSERT_TRUE(ComputeFileTag(dir / "a", 100, a));
    ASSERT_TRUE(WriteFile(dir / "b", {1, 2, 3}));
    ASSERT_TRUE(ComputeFileTag(dir / "b", 100, b));
    ASSERT_TRUE(WriteFile(dir / "c", {1, 2, 3, 0}));
    ASSERT_TRUE(ComputeFileTag(dir / "c", 100, c));
    EXPECT_EQ(0, std::memcmp(a, b, 4));
    EXPECT_NE(0, std::memcmp(a, c, 4));
}

TEST_F(Packages, MarkingNeedsCoversHeadAndLastPackage) {
    ASSERT_TRUE(Build(1025)); // three packages
    cc->channels[0].nodePending[1].store(1);
    cc->MarkPackagesNeeded(0);
    cc->SetPackageTotal(0, 3);
    for (int i = 0; i <= 3; ++i)
        EXPECT_EQ(cc->nodes[0][1].needPackage[i].load(), 1) << i;
    EXPECT_EQ(cc->nodes[0][1].needPackage[4].load(), 0);
    EXPECT_EQ(cc->nodes[0][1].missingCount.load(), 3);
    EXPECT_EQ(cc->nodes[0][1].packageTotal.load(), 3);
    EXPECT_EQ(cc->nodes[0][0].needPackage[1].load(), 0);
}

TEST_F(Packages, RecordSentFileKeepsListAndRoomCurrent) {
    ASSERT_TRUE(WriteFile(dir / "a.dst", std::vector<uint8_t>(1000, 1)));
    NodeRecord& node = cc->nodes[0][2];
    node.clusterBytes.store(512);
    node.freeBytes.store(10240);
    node.fileCount.store(0);
    CTransTask cmd;
    cmd.fileName = dir / "a.dst";
    cc->RecordSentFile(0, 2, cmd);
    ASSERT_EQ(node.fileCount.load(), 1);
    EXPECT_EQ(node.listedCount.load(), 1); // the station's copy of the list stays whole
    EXPECT_EQ(node.freeBytes.load(), 10240 - 1024);
    auto files = node.ListedFiles();
    EXPECT_EQ(0, std::memcmp(files[0].name, "A       DST ", 12));
    EXPECT_EQ(files[0].length, 1000u);
    // Sent again, larger: the entry is replaced, not added.
    ASSERT_TRUE(WriteFile(dir / "a.dst", std::vector<uint8_t>(1600, 1)));
    cc->RecordSentFile(0, 2, cmd);
    EXPECT_EQ(node.fileCount.load(), 1);
    EXPECT_EQ(node.freeBytes.load(), 10240 - 2048);
    node.freeBytes.store(100);
    ASSERT_TRUE(WriteFile(dir / "b.dst", std::vector<uint8_t>(5000, 1)));
    cmd.fileName = dir / "b.dst";
    cc->RecordSentFile(0, 2, cmd);
    EXPECT_EQ(node.freeBytes.load(), 0); // never negative
    node.fileCount.store(224);
    cmd.fileName = dir / "new.dst";
    cc->RecordSentFile(0, 2, cmd);
    EXPECT_EQ(node.fileCount.load(), 224); // a full list takes nothing more
}

TEST(NodeNames, FieldLayout) {
    TempDir dir;
    uint8_t f[12];
    auto field = [&](const std::string& name) {
        NodeNameField(dir / name, f);
        return std::string(reinterpret_cast<char*>(f), 12);
    };
    EXPECT_EQ(field("part.dst"), "PART    DST ");
    EXPECT_EQ(field("a.upt"), "A       UPT ");
    EXPECT_EQ(field("noext"), "NOEXT       ");
    EXPECT_EQ(field(".hidden"), ".HIDDEN     ");
    EXPECT_EQ(field("eight888.dsbx"), "EIGHT888DSBX");
    EXPECT_EQ(field("eight888.dsbxy"), "EIGHT888DSBX"); // extension cut to its field
}

TEST(NodeNames, LongNamesKeepTheirShortFormWhateverElseTheFolderHolds) {
    TempDir a, b;
    auto field = [](const std::string& path) {
        uint8_t f[12];
        NodeNameField(path, f);
        return std::string(reinterpret_cast<char*>(f), 12);
    };
    ASSERT_TRUE(WriteFile(a / "batchwest.dst", {1}));
    const std::string west = field(a / "batchwest.dst");
    // Three characters, "~", four hash characters, then the extension.
    EXPECT_EQ(west.substr(0, 4), "BAT~");
    EXPECT_EQ(west.substr(8), "DST ");
    EXPECT_EQ(west.find_first_of("ILOU", 4), std::string::npos);
    // A file added beside it changes nothing, and takes a name of its own.
    ASSERT_TRUE(WriteFile(a / "batcheast.dst", {2}));
    EXPECT_EQ(field(a / "batchwest.dst"), west);
    EXPECT_NE(field(a / "batcheast.dst"), west);
    // Nine characters with one six-letter stem, in one folder or two: different names; the same
    // long name in another folder, in any case: the same name.
    EXPECT_NE(field(a / "designab1.dst"), field(a / "designab2.dst"));
    EXPECT_NE(field(a / "designab1.dst"), field(b / "designab2.dst"));
    EXPECT_EQ(field(a / "designab1.dst"), field(b / "DesignAB1.DST"));
    EXPECT_EQ(field(a / "my design.dst").substr(0, 4), "MYD~"); // nine characters with the blank
}

TEST(NodeNames, NoTwoFilesOfASendShareAName) {
    // These two long names have one short form; the later one takes the next probe.
    const auto names =
        AssignNodeNames({"/a/samplefile06758.dst", "/b/x.dst", "/b/samplefile09966.dst", "/c/X.DST",
                         "/c/SampleFile06758.dst"});
    ASSERT_EQ(names.size(), 5u);
    uint8_t own[12];
    NodeNameField("/b/samplefile09966.dst", own);
    EXPECT_EQ(0, std::memcmp(names[0].field, own, 12)); // the collision is real
    EXPECT_NE(0, std::memcmp(names[2].field, own, 12));
    EXPECT_EQ(0, std::memcmp(names[2].field, "SAM~", 4));
    EXPECT_FALSE(names[0].duplicate || names[1].duplicate || names[2].duplicate);
    // The same name twice (from two folders) cannot go to one node twice: the later is refused.
    EXPECT_TRUE(names[3].duplicate);
    EXPECT_TRUE(names[4].duplicate);
    // Probing is stable: the same send names its files the same way every time.
    const auto again =
        AssignNodeNames({"/a/samplefile06758.dst", "/b/x.dst", "/b/samplefile09966.dst", "/c/X.DST",
                         "/c/SampleFile06758.dst"});
    EXPECT_EQ(0, std::memcmp(again[2].field, names[2].field, 12));
}

TEST(NodeNames, DisplayEscapesWhatANodeShouldNotSend) {
    const uint8_t plain[12] = {'P', 'A', 'R', 'T', ' ', ' ', ' ', ' ', 'D', 'S', 'T', ' '};
    EXPECT_EQ(DisplayNodeName(plain), "PART.DST");
    const uint8_t hostile[12] = {'.', '.', '/', 'x', 0x1B, '[', '2', 'J', 'D', 0x0A, 0, 0};
    const std::string shown = DisplayNodeName(hostile);
    EXPECT_EQ(shown.find('/'), std::string::npos);
    EXPECT_EQ(shown.find('\x1b'), std::string::npos);
    EXPECT_EQ(shown.find('\n'), std::string::npos);
    EXPECT_EQ(shown, "..\\x2Fx\\x1B[2J.D\\x0A");
}

} // namespace
